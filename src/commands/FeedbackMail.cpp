#include "commands/FeedbackMail.h"

#include "app/RunFormat.h"
#include "app/SettingsLoader.h"

namespace quorvia {

namespace {
const QString kStars(50, u'*');
} // namespace

MailSettings ReadMailSettings() {
    return {ReadSetting(kQuorviaKey, "SMTP", "Your SMTP Account"),
            ReadSetting(kQuorviaKey, "UserName", "Your User Name"),
            ReadSetting(kQuorviaKey, "SenderName", kSenderPlaceholder)};
}

bool WriteMailSettings(const QString& host, const QString& userName) {
    const bool hostWritten = WriteSetting(kQuorviaKey, "SMTP", host.trimmed());
    return WriteSetting(kQuorviaKey, "UserName", userName.trimmed()) && hostWritten;
}

FeedbackStatistics ReadFeedbackStatistics() {
    const auto read = [](const char* name) { return ReadSetting(kQuorviaKey, name, "0"); };
    return {read("TimesRun"),       read("TotalTransferred"), read("LastRunTime"),
            read("TotalFileCount"), read("TotalDirCount"),    read("TotalErrorCount")};
}

QStringList InformationBlock(const InformationBlockInput& in) {
    QStringList lines{kStars,
                      "User E-Mail: " + in.userAddress,
                      "User Name:   " + in.fromText,
                      "Sender Name: " + in.senderName,
                      kMailVersionLine,
                      kStars};
    if (in.sendData) {
        const FeedbackStatistics& s = in.statistics;
        bool ok = false;
        const double transferred = s.TotalTransferred.trimmed().toDouble(&ok);
        lines << "TotalRuns: " + s.TimesRun
              << "TotalTransferred: " + FormatSize(ok ? transferred : 0).trimmed()
              << "LastRunOn: " + s.LastRunTime << "QuorviaDir: " + in.schemeDir
              << "TotalFiles: " + s.TotalFileCount << "TotaDirs: " + s.TotalDirCount
              << "TotalErrs: " + s.TotalErrorCount;
    }
    return lines;
}

QStringList MessageLines(const QString& text) {
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        lines.removeLast();
    return lines;
}

QString MailAddressOf(const QString& text) {
    QString address = text.trimmed();
    for (const QChar c : address)
        if (c.category() == QChar::Other_Control)
            return {};
    // "Name <address>": the angle brackets close the text.
    const qsizetype open = address.indexOf(u'<');
    if (open >= 0) {
        if (!address.endsWith(u'>') || address.indexOf(u'<', open + 1) >= 0)
            return {};
        address = address.mid(open + 1, address.size() - open - 2).trimmed();
    }
    const qsizetype at = address.indexOf(u'@');
    if (at <= 0 || at == address.size() - 1 || address.indexOf(u'@', at + 1) >= 0)
        return {};
    for (const QChar c : address)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || QStringView(u"<>()[],;:\"\\").contains(c))
            return {};
    return address;
}

QString EnvelopeSender(const QString& storedSender, const QString& fromText) {
    if (storedSender != kSenderPlaceholder) {
        const QString stored = MailAddressOf(storedSender);
        if (!stored.isEmpty())
            return stored;
    }
    return MailAddressOf(fromText);
}

QString MailFailureText(const QString& errorMessage, int timeoutSeconds) {
    QString text = "Your Mail Was Not Sent.\n\n" +
                   (errorMessage.isEmpty() ? QStringLiteral("No reason given") : errorMessage);
    if (errorMessage.startsWith(QLatin1String("554 receive timeout")) ||
        errorMessage.startsWith(QLatin1String("554 send timeout")))
        text += QStringLiteral("\n(The SMTP Host Did Not Answer Within %1 Seconds)")
                    .arg(timeoutSeconds);
    text += "\n\nYour Message Is Kept: Check The SMTP Host And From Boxes And Try Again.";
    return text;
}

} // namespace quorvia
