#pragma once

#include "app/ProgramInfo.h"

#include <QString>
#include <QStringList>

// What the send-mail dialog does apart from its window: the values it reads
// and stores, the information block it adds to the message, and the choice of
// the envelope sender.
namespace quorvia {

// The version as the information block shows it, and as the header names the
// program. The mail goes to kFeedbackAddress (app/ProgramInfo.h), the address
// the stats dialog shows.
inline const QString kMailVersionLine =
    QStringLiteral("Quorvia: %1 %2").arg(kProgramVersion, kCompileDate);
inline const QString kMailerHeader =
    QStringLiteral("X-Mailer: Quorvia %1 %2").arg(kProgramVersion, kCompileDate);
// The text the sender name holds until the user has one.
inline const QString kSenderPlaceholder = QStringLiteral("Your Name");

// The dialog's values in the settings store, each with its placeholder default.
struct MailSettings {
    QString SMTP;
    QString UserName;
    QString SenderName;
};
MailSettings ReadMailSettings();
// The server and the sender address, trimmed, for next time; false when a
// value could not be written.
bool WriteMailSettings(const QString& host, const QString& userName);

// The statistics texts as stored, "0" when absent.
struct FeedbackStatistics {
    QString TimesRun = QStringLiteral("0");
    QString TotalTransferred = QStringLiteral("0");
    QString LastRunTime = QStringLiteral("0");
    QString TotalFileCount = QStringLiteral("0");
    QString TotalDirCount = QStringLiteral("0");
    QString TotalErrorCount = QStringLiteral("0");
};
FeedbackStatistics ReadFeedbackStatistics();

struct InformationBlockInput {
    QString userAddress; // the From box as it was when the dialog came up
    QString fromText;    // the From box now
    QString senderName;  // the stored sender name
    bool sendData = false;
    FeedbackStatistics statistics;
    QString schemeDir;
};
// The lines added after the message: six, or thirteen with the program data.
QStringList InformationBlock(const InformationBlockInput& in);

// The lines of the message box's text; an empty text has none, and a final
// line break does not start another line.
QStringList MessageLines(const QString& text);

// The address of "Name <address>" or of a bare address; empty when the text
// holds none that plain SMTP can carry (printable ASCII, one "@" with text on
// both sides, no blanks).
QString MailAddressOf(const QString& text);

// MAIL FROM: the stored sender name when it is an address, else the address
// of the From box (empty when that has none either).
QString EnvelopeSender(const QString& storedSender, const QString& fromText);

// What the user is told when the client failed: its error text, and for a
// server that did not answer, how long it was given.
QString MailFailureText(const QString& errorMessage, int timeoutSeconds);

} // namespace quorvia
