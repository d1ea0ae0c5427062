// The SMTP client against a real server: aiosmtpd on 127.0.0.1.
#include "SmtpSink.h"
#include "mail/smtpcli.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>

using namespace quorvia::mail;

namespace {

// The body of the part whose headers name `filename`, decoded.
QByteArray attachment(const QByteArray& message, const QByteArray& boundary,
                      const QByteArray& filename) {
    const QByteArray separator = "--" + boundary;
    for (qsizetype at = message.indexOf(separator); at >= 0;) {
        const qsizetype next = message.indexOf(separator, at + 1);
        const QByteArray part = message.mid(at, next < 0 ? -1 : next - at);
        at = next;
        if (!part.contains("filename=\"" + filename + "\""))
            continue;
        const qsizetype start = part.indexOf("\r\n\r\n");
        return QByteArray::fromBase64(part.mid(start + 4).trimmed().replace("\r\n", ""));
    }
    return "(missing)";
}

} // namespace

TEST(MailSmtpRealServer, DeliversAMessageWithTwoAttachments) {
    quorvia::test::SmtpSink server;
    ASSERT_TRUE(server.ready) << server.process.readAllStandardError().toStdString();

    QTemporaryDir files;
    QByteArray binary(1000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 31 + 7);
    const QByteArray text = "a line\n.starting with a dot\n";
    const auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(files.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    };

    TWait wait;
    TSmtpClient client;
    client.SetWait(&wait);
    client.SetHost("127.0.0.1");
    client.SetPort(QString::number(server.port));
    client.SetSignOn("quorvia-test");
    client.SetFromName("sender@example.org");
    client.SetRcptName({"first@example.org", " second@example.org "});
    client.SetHdrFrom("Sender <sender@example.org>");
    client.SetHdrTo("Feedback <first@example.org>");
    client.SetHdrSubject("Test report");
    client.SetEmailFiles({write("data.bin", binary), write("notes.txt", text)});
    const QStringList body = {"Hello,", ".", ".. two dots", "", "Bye."};
    client.OnGetData = [&](TCustomSmtpClient*, int n, char* line, int maxLen, bool& more) {
        if (n > body.size()) {
            more = false;
            return;
        }
        std::strncpy(line, body[n - 1].toUtf8().constData(), maxLen);
    };
    client.OnHeaderLine = [](TCustomSmtpClient*, char* msg, int size) {
        if (strncasecmp(msg, "From:", 5) == 0)
            std::strncat(msg, "\r\nX-Program: Quorvia test", size - std::strlen(msg) - 1);
    };
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(client.Quit());

    const QJsonObject envelope = QJsonDocument::fromJson(server.file("msg1.json")).object();
    EXPECT_EQ(envelope["helo"].toString(), "quorvia-test");
    EXPECT_EQ(envelope["mail_from"].toString(), "sender@example.org");
    EXPECT_EQ(envelope["rcpt_tos"].toVariant().toStringList(),
              QStringList({"first@example.org", "second@example.org"}));

    const QByteArray message = server.file("msg1.eml");
    const QByteArrayList headers = quorvia::test::HeaderLines(message);
    ASSERT_EQ(headers.size(), 7);
    EXPECT_EQ(headers[0], "From: Sender <sender@example.org>");
    EXPECT_EQ(headers[1], "X-Program: Quorvia test");
    EXPECT_EQ(headers[2], "To: Feedback <first@example.org>");
    EXPECT_EQ(headers[3], "Subject: Test report");
    EXPECT_EQ(headers[4], "Mime-Version: 1.0");
    const QRegularExpression contentType(
        R"re(^Content-Type: multipart/mixed;\tboundary="(= Multipart Boundary \w{3,}\d{8})"$)re");
    const auto match = contentType.match(QString::fromUtf8(headers[5]));
    ASSERT_TRUE(match.hasMatch()) << headers[5].toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^Date: \w{3}, \d{1,2} \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4}$)")
                    .match(QString::fromUtf8(headers[6]))
                    .hasMatch());

    const QByteArray boundary = match.captured(1).toUtf8();
    EXPECT_TRUE(message.contains("\r\n\r\nHello,\r\n.\r\n.. two dots\r\n\r\nBye.\r\n"));
    EXPECT_EQ(attachment(message, boundary, "data.bin"), binary);
    EXPECT_EQ(attachment(message, boundary, "notes.txt"), text);
    EXPECT_TRUE(message.trimmed().endsWith("--" + boundary + "--"));
    EXPECT_EQ(envelope["defects"].toArray().size(), 0) << server.file("msg1.json").toStdString();
    EXPECT_EQ(envelope["text"].toString(), "Hello,\n.\n.. two dots\n\nBye.\n");
}

TEST(MailSmtpRealServer, Utf8TextAndLongLinesArriveAsTyped) {
    quorvia::test::SmtpSink server;
    ASSERT_TRUE(server.ready) << server.process.readAllStandardError().toStdString();
    QTemporaryDir files;
    QFile attached(files.filePath("log.txt"));
    ASSERT_TRUE(attached.open(QIODevice::WriteOnly));
    attached.write("attached\n");
    attached.close();

    // A memo line of 2000 characters, with escapes to break around and a blank at its end.
    QString memo;
    while (memo.size() < 1999)
        memo += QString::fromUtf8("ä=.x ");
    memo = memo.left(1999) + ' ';
    const QStringList body = {QString::fromUtf8("Grüße aus München"), memo, ".", "", "Ende."};
    const QString subject = QString::fromUtf8("Grüße – Rückmeldung");

    // A zone with minutes, given as a rule so that no time zone data is needed.
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "QRV-5:30");
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        tzset();
    });

    // Once single-part, once with an attachment.
    for (const bool attach : {false, true}) {
        TWait wait;
        TSmtpClient client;
        client.SetWait(&wait);
        client.SetHost("127.0.0.1");
        client.SetPort(QString::number(server.port));
        client.SetSignOn("quorvia-test");
        client.SetCharSet("utf-8");
        client.SetFromName("sender@example.org");
        client.SetRcptName({"first@example.org"});
        client.SetHdrFrom(QString::fromUtf8("Jörg Müller <sender@example.org>"));
        client.SetHdrTo("first@example.org");
        client.SetHdrSubject(subject);
        if (attach)
            client.SetEmailFiles({attached.fileName()});
        client.OnGetLine = [&](TCustomSmtpClient*, int n, QByteArray& line, bool& more) {
            more = n <= body.size();
            if (more)
                line = body[n - 1].toUtf8();
        };
        ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
        client.Quit();

        const QString name = QStringLiteral("msg%1").arg(attach ? 2 : 1);
        const QJsonObject got = QJsonDocument::fromJson(server.file(name + ".json")).object();
        EXPECT_FALSE(got.contains("read_error")) << got["read_error"].toString().toStdString();
        EXPECT_EQ(got["defects"].toArray().size(), 0) << server.file(name + ".json").toStdString();
        EXPECT_EQ(got["subject"].toString(), subject);
        EXPECT_EQ(got["from"].toString(), QString::fromUtf8("Jörg Müller <sender@example.org>"));
        EXPECT_EQ(got["text"].toString(), body.join('\n') + '\n');
        EXPECT_EQ(got["text_transfer_encoding"].toString(), "quoted-printable");
        EXPECT_EQ(got["date_offset"].toInt(-1), 5 * 3600 + 30 * 60);
        if (attach) {
            EXPECT_EQ(got["attachments"].toObject()["log.txt"].toInt(), 9);
        }

        // Seven bits and short lines all through.
        const QByteArray message = server.file(name + ".eml");
        for (const char c : message)
            ASSERT_EQ(uchar(c) & 0x80, 0);
        for (const QByteArray& line : message.split('\n'))
            EXPECT_LE(line.size(), 77);
    }
}

// A data line the client itself would never send.
class RawLineClient : public TCustomSmtpClient {
public:
    QByteArray raw;

protected:
    void TriggerGetData(int LineNum, QByteArray& Line, bool& More) override {
        More = LineNum == 1;
        Line = raw;
    }
};

TEST(MailSmtpRealServer, SinkRefusesLinesOverTheLimit) {
    quorvia::test::SmtpSink server;
    ASSERT_TRUE(server.ready) << server.process.readAllStandardError().toStdString();
    TWait wait;
    RawLineClient client;
    client.SetWait(&wait);
    client.SetHost("127.0.0.1");
    client.SetPort(QString::number(server.port));
    client.SetSignOn("quorvia-test");
    client.SetFromName("sender@example.org");
    client.SetRcptName({"first@example.org"});
    client.raw = QByteArray(998, 'x');
    EXPECT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    client.raw += 'x';
    EXPECT_FALSE(client.Mail());
    EXPECT_TRUE(client.ErrorMessage().startsWith("500 Line too long"))
        << client.ErrorMessage().toStdString();
    client.Quit();
}
