// The real send-mail dialog, offscreen, against aiosmtpd on 127.0.0.1, with
// scripted message boxes.
#include "ScriptedPort.h"
#include "SmtpSink.h"
#include "app/SettingsLoader.h"
#include "commands/FeedbackMail.h"
#include "controls/EnhButtn.h"
#include "mail/Wait.h"
#include "ui/Help.h"
#include "ui/smtptst1.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quorvia;
using namespace quorvia::test;

namespace {

const QString kStars(50, '*');
const QString kFeedback = QString::fromLatin1(kFeedbackAddress);

struct MailDialogTest : ::testing::Test {
    Settings settings;
    ScriptedDialogs dialogs;
    TSmtpTestForm form{settings, dialogs};

    MailDialogTest() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        settings.SchemeDir = "/home/anna/.local/share/Quorvia/";
    }

    template <typename T> T* find(const char* name) const {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(nullptr, widget) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QPlainTextEdit* memo() const { return find<QPlainTextEdit>("MsgMemo"); }
    QStringList trace() const {
        return find<QPlainTextEdit>("DisplayMemo")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    // Key presses of each character, as typed (beyond what QTest::keyClicks knows).
    static void type(QWidget* widget, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    void setText(const char* name, const QString& text) const {
        edit(name)->clear();
        type(edit(name), text);
    }
    void send() const { QTest::mouseClick(find<QPushButton>("MailButton"), Qt::LeftButton); }
    // The boxes shown, each as "warning:" or "information:" and its text.
    QStringList boxes() const {
        QStringList out;
        for (const PortEvent& e : dialogs.events)
            if (e.kind == PortEvent::Warning || e.kind == PortEvent::Information)
                out << (e.kind == PortEvent::Warning ? "warning:" : "information:") + e.text;
        return out;
    }
    void expectOpenWithText(const QString& text) const {
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(memo()->toPlainText(), text);
        EXPECT_TRUE(memo()->isEnabled());
        EXPECT_TRUE(memo()->isVisible());
        EXPECT_TRUE(find<QPushButton>("MailButton")->isEnabled());
    }
};

void storeMail(const QString& smtp, const QString& user, const QString& sender) {
    ASSERT_TRUE(WriteSetting(kQuorviaKey, "SMTP", smtp));
    ASSERT_TRUE(WriteSetting(kQuorviaKey, "UserName", user));
    ASSERT_TRUE(WriteSetting(kQuorviaKey, "SenderName", sender));
}

QStringList received(const QJsonObject& message) {
    return message["text"].toString().split('\n');
}

} // namespace

TEST_F(MailDialogTest, TheServerReceivesTheMessageAsTyped) {
    SmtpSink server;
    ASSERT_TRUE(server.ready) << server.errors().toStdString();
    storeMail("127.0.0.1", "anna@example.org", "Anna Schmidt");
    for (const auto& [name, value] : {std::pair{"TimesRun", "3"},
                                      {"TotalTransferred", "2048"},
                                      {"LastRunTime", "00:00:07"},
                                      {"TotalFileCount", "40"},
                                      {"TotalDirCount", "5"},
                                      {"TotalErrorCount", "1"}})
        ASSERT_TRUE(WriteSetting(kQuorviaKey, name, value));
    form.setServicePort(QString::number(server.port));
    form.open();
    EXPECT_EQ(edit("HostEdit")->text(), "127.0.0.1");
    EXPECT_EQ(edit("FromEdit")->text(), "anna@example.org");
    EXPECT_EQ(edit("SubjectEdit")->text(), "Quorvia Feedback");

    const QString from = QString::fromUtf8("Anna Müller <anna@example.org>");
    const QString subject = QString::fromUtf8("Grüße – Rückmeldung");
    setText("FromEdit", from);
    setText("SubjectEdit", subject);
    QString paragraph;
    for (int i = 0; paragraph.size() < 2000; ++i)
        paragraph += QString::number(i % 10);
    type(memo(), QString::fromUtf8("Grüße aus München"));
    memo()->appendPlainText(paragraph + "\n.\n\nEnde.");
    send();

    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(boxes(), QStringList("information:Your Mail Was Sent To " + kFeedback));
    ASSERT_EQ(server.count(), 1);
    const QJsonObject got = server.json(1);
    EXPECT_EQ(got["helo"].toString(), "SignOnEdit");
    EXPECT_EQ(got["mail_from"].toString(), "anna@example.org");
    EXPECT_EQ(got["rcpt_tos"].toVariant().toStringList(), QStringList(kFeedback));
    EXPECT_EQ(got["from"].toString(), from);
    EXPECT_EQ(got["to"].toString(), kFeedback);
    EXPECT_EQ(got["subject"].toString(), subject);
    EXPECT_FALSE(got["date_offset"].isNull());
    EXPECT_EQ(got["defects"].toArray().size(), 0) << server.file("msg1.json").toStdString();
    EXPECT_EQ(received(got),
              QStringList({QString::fromUtf8("Grüße aus München"), paragraph, ".", "", "Ende.",
                           kStars, "User E-Mail: anna@example.org", "User Name:   " + from,
                           "Sender Name: Anna Schmidt", "Quorvia: v1.10 10/04/98", kStars,
                           "TotalRuns: 3", "TotalTransferred: 2.00 K", "LastRunOn: 00:00:07",
                           "QuorviaDir: /home/anna/.local/share/Quorvia/", "TotalFiles: 40",
                           "TotaDirs: 5", "TotalErrs: 1", ""}));

    const QByteArray message = server.message(1);
    QByteArrayList names;
    for (const QByteArray& header : HeaderLines(message))
        names << header.left(header.indexOf(':'));
    EXPECT_EQ(names, QByteArrayList({"From", "X-Mailer", "To", "Subject", "Mime-Version",
                                     "Content-Type", "Content-Transfer-Encoding", "Date"}));
    EXPECT_TRUE(message.contains("\r\nX-Mailer: Quorvia v1.10 10/04/98\r\n"));
    EXPECT_TRUE(message.contains("\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n"));
    EXPECT_TRUE(QRegularExpression(R"(\r\nDate: \w{3}, \d{1,2} \w{3} \d{4} [\d:]{8} [+-]\d{4}\r\n)")
                    .match(QString::fromLatin1(message))
                    .hasMatch());
    for (const char c : message)
        ASSERT_EQ(uchar(c) & 0x80, 0);
    for (const QByteArray& line : message.split('\n'))
        EXPECT_LE(line.size(), 1000 - 1); // CR LF included

    // The server and the sender are kept for next time.
    EXPECT_EQ(ReadSetting(kQuorviaKey, "SMTP", {}), "127.0.0.1");
    EXPECT_EQ(ReadSetting(kQuorviaKey, "UserName", {}), from);
    EXPECT_TRUE(trace().contains("> QUIT"));
}

TEST_F(MailDialogTest, AFreshInstallationSendsZerosAndTheNextUseStartsEmpty) {
    SmtpSink server;
    ASSERT_TRUE(server.ready) << server.errors().toStdString();
    form.setServicePort(QString::number(server.port));
    form.open();
    EXPECT_EQ(edit("HostEdit")->text(), "Your SMTP Account");
    EXPECT_EQ(edit("FromEdit")->text(), "Your User Name");
    EXPECT_TRUE(find<QCheckBox>("SendData")->isChecked());
    setText("HostEdit", " 127.0.0.1 ");
    setText("FromEdit", "bob@example.org");
    type(memo(), "first");
    send();

    ASSERT_EQ(server.count(), 1) << boxes().join('\n').toStdString();
    // With the sender name still at its placeholder, the From box is the sender.
    EXPECT_EQ(server.json(1)["mail_from"].toString(), "bob@example.org");
    const QStringList first = received(server.json(1));
    ASSERT_EQ(first.size(), 1 + 13 + 1);
    EXPECT_EQ(first.mid(1, 6),
              QStringList({kStars, "User E-Mail: Your User Name", "User Name:   bob@example.org",
                           "Sender Name: Your Name", "Quorvia: v1.10 10/04/98", kStars}));
    EXPECT_EQ(first.mid(7, 7), QStringList({"TotalRuns: 0", "TotalTransferred: 0.00 Bytes",
                                            "LastRunOn: 0", "QuorviaDir: " + settings.SchemeDir,
                                            "TotalFiles: 0", "TotaDirs: 0", "TotalErrs: 0"}));

    // A second use in the same run: an empty box, ready to type in.
    form.open();
    expectOpenWithText("");
    EXPECT_EQ(edit("HostEdit")->text(), "127.0.0.1");
    EXPECT_EQ(edit("FromEdit")->text(), "bob@example.org");
    type(memo(), "second");
    QTest::mouseClick(find<QCheckBox>("SendData"), Qt::LeftButton);
    EXPECT_FALSE(find<QCheckBox>("SendData")->isChecked());
    send();
    ASSERT_EQ(server.count(), 2);
    const QStringList second = received(server.json(2));
    EXPECT_EQ(second, QStringList({"second", kStars, "User E-Mail: bob@example.org",
                                   "User Name:   bob@example.org", "Sender Name: Your Name",
                                   "Quorvia: v1.10 10/04/98", kStars, ""}));
}

TEST_F(MailDialogTest, FailuresAreReportedAndTheTextIsKept) {
    storeMail("127.0.0.1", "anna@example.org", "anna@example.org");
    form.setServicePort(QString::number(FreePort()));
    form.open();
    type(memo(), "Keep me");

    // Nothing listens.
    QElapsedTimer clock;
    clock.start();
    send();
    EXPECT_LT(clock.elapsed(), 3000);
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes()[0].startsWith(
        "warning:Your Mail Was Not Sent.\n\nCan't connect to host '127.0.0.1'"))
        << boxes()[0].toStdString();
    expectOpenWithText("Keep me");

    // A server that takes the connection and never says a word. Fifteen
    // ticks of 100 ms instead of seconds keep the test short.
    ScriptServer silent([](ScriptConnection& c) { c.readAll(-1, 20000); });
    form.setServicePort(silent.portText());
    find<mail::TWait>("Wait1")->SetInterval(100);
    dialogs.events.clear();
    clock.restart();
    send();
    EXPECT_GT(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 4000);
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes()[0].contains(
        "554 receive timeout\n(The SMTP Host Did Not Answer Within 15 Seconds)"))
        << boxes()[0].toStdString();
    expectOpenWithText("Keep me");

    // The retry that works carries the information block once.
    SmtpSink server;
    ASSERT_TRUE(server.ready) << server.errors().toStdString();
    form.setServicePort(QString::number(server.port));
    send();
    ASSERT_EQ(server.count(), 1);
    const QStringList text = received(server.json(1));
    EXPECT_EQ(text.first(), "Keep me");
    EXPECT_EQ(text.count(kStars), 2);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MailDialogTest, NoAddressInTheFromBoxSendsNothing) {
    storeMail("127.0.0.1", "Your User Name", "Your Name");
    form.setServicePort(QString::number(FreePort()));
    form.open();
    type(memo(), "Hello");
    send();
    EXPECT_EQ(boxes(), QStringList("warning:Enter Your E-Mail Address In The From Box\n"
                                   "(For Example: anna@example.org)"));
    EXPECT_TRUE(trace().isEmpty()); // not even a connection attempt
    expectOpenWithText("Hello");
    // Nothing was stored either.
    EXPECT_EQ(ReadSetting(kQuorviaKey, "UserName", {}), "Your User Name");
}

TEST_F(MailDialogTest, CancelBeforeOrDuringTheSendDeliversNothing) {
    SmtpSink server;
    ASSERT_TRUE(server.ready) << server.errors().toStdString();
    storeMail("127.0.0.1", "anna@example.org", "Your Name");
    form.setServicePort(QString::number(server.port));
    form.open();
    type(memo(), "Not yet");
    QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_TRUE(boxes().isEmpty());

    // During a wait for a silent server (at the real pace of one tick a second),
    // Cancel ends the send at once.
    ScriptServer silent([](ScriptConnection& c) { c.readAll(-1, 20000); });
    form.setServicePort(silent.portText());
    form.open();
    QTimer::singleShot(300, &form, [this] { find<QPushButton>("Button1")->click(); });
    QElapsedTimer clock;
    clock.start();
    send();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(form.sending());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes().isEmpty()) << boxes().join('\n').toStdString();
    EXPECT_TRUE(memo()->isEnabled());
    EXPECT_EQ(server.count(), 0);
}

TEST_F(MailDialogTest, EveryCaptionFitsItsControl) {
    form.open();
    for (const char* name : {"Label1", "Label2", "Subject", "Label5"}) {
        const QLabel* label = find<QLabel>(name);
        EXPECT_LE(label->sizeHint().width(), label->width()) << name;
        // A label ends before the box it names.
        if (label->y() < 80) {
            EXPECT_LE(label->geometry().right(), edit("HostEdit")->x()) << name;
        }
    }
    for (const char* name : {"MailButton", "Button1"}) {
        const QPushButton* button = find<QPushButton>(name);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text().remove('&')) + 8,
                  button->width())
            << name;
    }
    // One line, inside the box: a second line would be cut off at 19 pixels.
    const auto* check = find<controls::TCheckBox95>("SendData");
    const QRect caption = check->captionRect();
    EXPECT_TRUE(check->rect().contains(caption)) << caption.width() << "x" << caption.height();
    EXPECT_LT(caption.height(), 2 * check->fontMetrics().height());
}

TEST_F(MailDialogTest, F1OpensTheDialogsTopic) {
    QTemporaryDir schemes;
    QFile help(schemes.filePath("Quorvia.html"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    settings.SchemeDir = schemes.path() + "/";
    QUrl opened;
    openHelpUrl = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    form.open();
    QApplication::setActiveWindow(&form);
    memo()->setFocus();
    QTest::keyClick(memo(), Qt::Key_F1);
    openHelpUrl = nullptr;
    EXPECT_EQ("context-255", opened.fragment());
}

TEST_F(MailDialogTest, TraceAndVersionHeader) {
    for (int i = 1; i <= 101; ++i)
        form.SmtpClientDisplay("line " + QString::number(i));
    EXPECT_EQ(trace().size(), 101);
    form.SmtpClientDisplay("line 102");
    EXPECT_EQ(trace(), QStringList("line 102"));

    char buffer[1024] = "fROM: anna@example.org";
    form.SmtpClientHeaderLine(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "fROM: anna@example.org\r\nX-Mailer: Quorvia v1.10 10/04/98");
    char to[1024] = "To: feedback@quorvia.example";
    form.SmtpClientHeaderLine(to, sizeof to);
    EXPECT_STREQ(to, "To: feedback@quorvia.example");
    // Never beyond the buffer it was given.
    char small[24] = "From: anna@example.org";
    form.SmtpClientHeaderLine(small, sizeof small);
    EXPECT_STREQ(small, "From: anna@example.org");
}
