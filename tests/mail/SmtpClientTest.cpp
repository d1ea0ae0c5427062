// The SMTP client against scripted servers: the dialogue, its failures and the
// exact lines of the data stream.
#include "ScriptServer.h"
#include "mail/MailDate.h"
#include "mail/MimeText.h"
#include "mail/smtpcli.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <gtest/gtest.h>

using namespace quorvia::mail;
using quorvia::test::FreePort;
using quorvia::test::ScriptConnection;
using quorvia::test::ScriptServer;
using quorvia::test::ServeSmtp;

namespace {

// A client with 100 ms ticks, so TimeOut 10 is one second.
struct Smtp {
    TWait wait;
    TSmtpClient client;
    QStringList trace;
    QStringList body;
    explicit Smtp(int port) {
        wait.SetInterval(100);
        client.SetWait(&wait);
        client.SetTimeOut(10);
        client.SetHost("127.0.0.1");
        client.SetPort(QString::number(port));
        client.SetSignOn("tester");
        client.SetFromName(" me@here ");
        client.SetRcptName({"you@there"});
        client.OnDisplay = [this](TCustomSmtpClient*, const QString& m) { trace << m; };
        client.OnGetData = [this](TCustomSmtpClient*, int n, char* line, int maxLen, bool& more) {
            if (n > body.size()) {
                more = false;
                return;
            }
            const QByteArray text = body[n - 1].toUtf8().left(maxLen);
            std::memcpy(line, text.constData(), text.size());
            line[text.size()] = '\0';
        };
    }
};

// The data lines between DATA and ".", as the server read them.
QByteArrayList dataLines(const QByteArrayList& lines) {
    const qsizetype start = lines.indexOf("DATA");
    const qsizetype end = lines.indexOf(".", start);
    return start < 0 || end < 0 ? QByteArrayList() : lines.mid(start + 1, end - start - 1);
}

// A header with its encoded-words decoded and its folds undone.
QString decodedWords(const QByteArray& header) {
    static const QRegularExpression word(R"(=\?utf-8\?B\?([A-Za-z0-9+/=]*)\?=)");
    QByteArray text = header;
    text.replace("\r\n", "");
    // Blanks between adjacent words are not part of the text.
    static const QRegularExpression between(R"((\?=)\s+(=\?))");
    QString s = QString::fromLatin1(text).replace(between, "\\1\\2");
    QString out;
    qsizetype at = 0;
    for (const auto& m : word.globalMatch(s)) {
        out += s.mid(at, m.capturedStart() - at);
        out += QString::fromUtf8(QByteArray::fromBase64(m.captured(1).toLatin1()));
        at = m.capturedEnd();
    }
    return out + s.mid(at);
}

qint64 timed(const std::function<void()>& f) {
    QElapsedTimer clock;
    clock.start();
    f();
    return clock.elapsed();
}

} // namespace

TEST(MailSmtp, MultiLineGreetingIsReadBeforeHelo) {
    ScriptServer server([](ScriptConnection& c) {
        c.send("220-first\r\n220-second\r\n220 last\r\n");
        c.line();
        c.reply("250 hello");
        if (c.line() == "QUIT")
            c.reply("221 bye");
        c.readAll(-1, 1000);
    });
    Smtp s(server.port());
    s.client.SetSignOn("");
    EXPECT_TRUE(s.client.Connect());
    EXPECT_TRUE(s.client.Connect()); // already ready
    EXPECT_TRUE(s.client.Quit());
    EXPECT_TRUE(s.client.Quit()); // nothing more to end
    const QByteArrayList lines = server.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "HELO " + LocalHostName().toUtf8());
    EXPECT_EQ(s.trace.mid(0, 5),
              QStringList({"Connected with SMTP server", "< 220-first", "< 220-second",
                           "< 220 last", "> HELO " + LocalHostName()}));
    EXPECT_TRUE(s.client.ErrorMessage().isEmpty());
}

TEST(MailSmtp, MissingWaitHostOrServerFailsWithAMessage) {
    TSmtpClient bare;
    EXPECT_FALSE(bare.Mail());
    EXPECT_EQ(bare.ErrorMessage(), "No wait object");
    EXPECT_TRUE(bare.Quit());

    Smtp s(FreePort());
    s.client.SetHost("");
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.ErrorMessage(), "No host specified");

    s.client.SetHost("127.0.0.1");
    EXPECT_LT(timed([&] { EXPECT_FALSE(s.client.Mail()); }), 900);
    EXPECT_EQ(s.client.ErrorMessage(), "Can't connect to host '127.0.0.1'");
}

TEST(MailSmtp, SilentServerTimesOutAfterTimeOut) {
    ScriptServer server([](ScriptConnection& c) { c.readAll(-1, 10000); });
    Smtp s(server.port());
    const qint64 ms = timed([&] { EXPECT_FALSE(s.client.Mail()); });
    EXPECT_GE(ms, 800);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(s.client.LastResponse(), "554 receive timeout");
    EXPECT_EQ(s.client.ErrorMessage(), "554 receive timeout");
    EXPECT_TRUE(s.trace.contains("< 554 receive timeout"));
}

TEST(MailSmtp, ServerDroppingMidDialogueEndsMailAtOnce) {
    ScriptServer server([](ScriptConnection& c) {
        c.reply("220 hi");
        c.line();
        c.reply("250 ok");
        c.line();
        c.reply("250 ok");
        c.line(); // RCPT TO, then gone
        c.drop();
    });
    Smtp s(server.port());
    EXPECT_LT(timed([&] { EXPECT_FALSE(s.client.Mail()); }), 900);
    EXPECT_EQ(s.client.ErrorMessage(), "554 not connected");
    EXPECT_TRUE(s.client.Quit()); // nothing left to end
    EXPECT_EQ(server.lines().last(), "RCPT TO:<you@there>");
}

TEST(MailSmtp, HostileRepliesNeverHangOrOverflow) {
    const QList<std::function<void(ScriptConnection&)>> floods = {
        [](ScriptConnection& c) { // an endless line
            while (!c.stopping() && !c.eof())
                c.send(QByteArray(4096, 'x'));
        },
        [](ScriptConnection& c) { // endless continuation lines
            while (!c.stopping() && !c.eof())
                c.send("220-more\r\n");
        },
        [](ScriptConnection& c) { // binary bytes, no line end, then silence
            c.send(QByteArray("2\0\xff\x01\x80", 5));
            c.readAll(-1, 10000);
        },
    };
    for (const auto& flood : floods) {
        ScriptServer server(flood);
        Smtp s(server.port());
        const qint64 ms = timed([&] { EXPECT_FALSE(s.client.Connect()); });
        EXPECT_LT(ms, 2500);
        EXPECT_EQ(s.client.LastResponse(), "554 receive timeout");
    }
}

TEST(MailSmtp, OverlongReplyLineStaysOneReply) {
    ScriptServer server([](ScriptConnection& c) {
        c.reply("220 " + QByteArray(296, 'g'));
        c.line();
        c.reply("250 hello");
        c.readAll(-1, 1000);
    });
    Smtp s(server.port());
    EXPECT_TRUE(s.client.Connect());
    EXPECT_EQ(s.client.LastResponse(), "250 hello");
    EXPECT_TRUE(s.trace.contains("< 220 " + QString(250, 'g')));
}

TEST(MailSmtp, DataStreamStuffsDotsAndBreaksLongTextWithoutLoss) {
    ScriptServer server(ServeSmtp);
    Smtp s(server.port());
    s.client.SetRcptName({});
    s.client.SetHdrFrom("Me");
    s.client.SetHdrTo("You");
    // Far more than a header buffer held: goes out whole, as encoded-words.
    const QString subject = "x" + QString(3000, u'\u00e9');
    s.client.SetHdrSubject(subject);
    s.client.OnHeaderLine = [](TCustomSmtpClient*, char* msg, int size) {
        if (std::strncmp(msg, "Mime-Version", 12) == 0)
            msg[0] = '\0';
        if (std::strncmp(msg, "From:", 5) == 0)
            std::strncat(msg, "\r\nX-Extra: 1", size - std::strlen(msg) - 1);
    };
    s.body = {".", ".hidden", "plain", "", "last"};
    const auto fill = s.client.OnGetData;
    s.client.OnGetData = [&](TCustomSmtpClient* c, int n, char* line, int maxLen, bool& more) {
        if (n == 6) {
            std::memset(line, 'a', maxLen + 1); // no room left for a terminator
            return;
        }
        fill(c, n, line, maxLen, more);
    };
    s.body << "ignored"
           << "tail";
    EXPECT_TRUE(s.client.Mail());
    EXPECT_TRUE(s.client.Quit());
    const QByteArrayList lines = server.lines();
    EXPECT_EQ(lines.mid(0, 3), QByteArrayList({"HELO tester", "MAIL FROM:<me@here>", "DATA"}));
    QByteArrayList data = dataLines(lines);
    for (const QByteArray& line : data)
        EXPECT_LE(line.size(), 76) << line.toStdString();
    ASSERT_GE(data.size(), 4);
    EXPECT_EQ(data.takeFirst(), "From: Me");
    EXPECT_EQ(data.takeFirst(), "X-Extra: 1");
    EXPECT_EQ(data.takeFirst(), "To: You");
    QByteArray folded = data.takeFirst();
    while (!data.isEmpty() && data.first().startsWith(' '))
        folded += "\r\n" + data.takeFirst();
    EXPECT_EQ(decodedWords(folded), "Subject: " + subject);
    ASSERT_GE(data.size(), 3);
    EXPECT_EQ(data.takeFirst(), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    EXPECT_EQ(data.takeFirst(), "Content-Transfer-Encoding: quoted-printable");
    EXPECT_TRUE(data.takeFirst().startsWith("Date: "));
    // The handler's unterminated 1023 bytes, broken into soft lines of 76.
    QByteArrayList expected = {"", "..", "..hidden", "plain", "", "last"};
    for (int i = 0; i < 13; ++i)
        expected << QByteArray(75, 'a') + '=';
    expected << QByteArray(48, 'a') << "tail";
    EXPECT_EQ(data, expected);
}

TEST(MailSmtp, AttachmentsFormAMultipartStream) {
    QTemporaryDir dir;
    const QByteArray bytes45(45, 'A'), bytes46(46, 'B');
    const auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    };
    ScriptServer server(ServeSmtp);
    Smtp s(server.port());
    s.body = {"text"};
    s.client.SetEmailFiles(
        {write("a.bin", bytes45), write("b \"q\".bin", bytes46), write("empty", {})});
    EXPECT_TRUE(s.client.Mail());
    s.client.Quit();
    const QByteArrayList data = dataLines(server.lines());
    ASSERT_GE(data.size(), 6);
    ASSERT_TRUE(data[4].startsWith("Content-Type: multipart/mixed;"));
    const QByteArray boundary = data[5].mid(11, data[5].size() - 12); // \tboundary="..."
    EXPECT_TRUE(boundary.startsWith("= Multipart Boundary "));
    const QByteArray sep = "--" + boundary;
    const auto part = [&](const QByteArray& name) {
        return QByteArrayList({"", sep, "Content-Type: application/octet-stream;", "\tname=" + name,
                               "Content-Transfer-Encoding: base64",
                               "Content-Disposition: attachment;", "\tfilename=" + name, ""});
    };
    QByteArrayList expected = {"",
                               "This is a multipart MIME message.",
                               "",
                               sep,
                               "Content-Type: text/plain; charset=\"iso-8859-1\"",
                               "Content-Transfer-Encoding: quoted-printable",
                               "",
                               "text"};
    expected << part("\"a.bin\"") << bytes45.toBase64();
    expected << part("\"b \\\"q\\\".bin\"") << bytes46.left(45).toBase64() << "Qg==";
    expected << part("\"empty\"") << ""
             << "" << sep + "--";
    EXPECT_EQ(data.mid(7), expected);
    EXPECT_EQ(data[6].left(6), "Date: ");
}

TEST(MailSmtp, UnreadableAttachmentFailsBeforeAnythingIsSent) {
    ScriptServer server(ServeSmtp);
    Smtp s(server.port());
    s.client.SetEmailFiles({"/no/such/file.txt"});
    EXPECT_FALSE(s.client.Mail());
    EXPECT_TRUE(s.client.ErrorMessage().startsWith("Can't read attachment '/no/such/file.txt'"));
    EXPECT_TRUE(s.client.Quit());
}

TEST(MailSmtp, MailDateIsEnglishWithItsZoneWhateverTheLocale) {
    const QDateTime when(QDate(1998, 10, 4), QTime(14, 5, 9), Qt::OffsetFromUTC, 2 * 3600);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(MailDate(when), "Sun, 4 Oct 1998 14:05:09 +0200");
    EXPECT_EQ(BoundaryTime(when), QLocale().monthName(10, QLocale::ShortFormat) + "0498" + "1405");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(MailDate(QDateTime(QDate(2024, 2, 29), QTime(9, 0, 0), Qt::OffsetFromUTC, -19800)),
              "Thu, 29 Feb 2024 09:00:00 -0530");
    EXPECT_EQ(MailDate(QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0), Qt::UTC)),
              "Mon, 1 Jan 2024 00:00:00 +0000");
    // Local time carries the machine's own offset.
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    EXPECT_TRUE(MailDate(now).endsWith(QString::asprintf(" %c%02d%02d", offset < 0 ? '-' : '+',
                                                         qAbs(offset) / 60, qAbs(offset) % 60)));
    EXPECT_EQ(BoundaryTime(QDateTime(QDate(2024, 2, 9), QTime(23, 59))), "Feb0924"
                                                                         "2359");
}

TEST(MailSmtp, ServerThatStopsReadingCannotHoldTheSend) {
    ScriptServer server([](ScriptConnection& c) {
        c.reply("220 hi");
        for (const char* answer : {"250 ok", "250 ok", "250 ok", "354 go"}) {
            c.line();
            c.reply(answer);
        }
        while (!c.stopping() && !c.eof())
            QThread::msleep(20); // reads nothing more
    });
    Smtp s(server.port());
    s.client.OnGetData = [](TCustomSmtpClient*, int n, char* line, int, bool& more) {
        more = n <= 20000;
        std::memset(line, 'x', 900);
        line[900] = '\0';
    };
    const qint64 ms = timed([&] { EXPECT_FALSE(s.client.Mail()); });
    EXPECT_LT(ms, 30000); // bounded by the timeout, with room for a slow, loaded machine
    EXPECT_EQ(s.client.ErrorMessage(), "554 send timeout");
    EXPECT_TRUE(s.client.Quit()); // the connection is gone
}

TEST(MailSmtp, ServerLeavingWithItsHeloReplyFailsMailCleanly) {
    // A reply cut off by the close, and a whole reply with the close right behind it.
    for (const QByteArray& reply : {QByteArray("250 hel"), QByteArray("250 hello\r\n")}) {
        ScriptServer server([&](ScriptConnection& c) {
            c.reply("220 hi");
            c.line();
            c.send(reply);
            c.drop();
        });
        Smtp s(server.port());
        bool sent = true;
        EXPECT_NO_THROW(sent = s.client.Mail()) << reply.toStdString();
        EXPECT_FALSE(sent);
        EXPECT_EQ(s.client.ErrorMessage(), "554 not connected") << reply.toStdString();
        EXPECT_EQ(s.client.LastResponse(), "554 not connected");
        EXPECT_NO_THROW(EXPECT_TRUE(s.client.Quit()));
        EXPECT_EQ(server.lines(), QByteArrayList({"HELO tester"}));
    }
}

TEST(MailSmtp, AReplyEndedByTheServersCloseKeepsItsCodeAndReason) {
    // Refused at MAIL FROM: the reason, not "not connected".
    ScriptServer refusing([](ScriptConnection& c) {
        c.reply("220 hi");
        c.line();
        c.reply("250 hello");
        c.line();
        c.send("550 sender refused");
        c.drop();
    });
    Smtp refused(refusing.port());
    EXPECT_FALSE(refused.client.Mail());
    EXPECT_EQ(refused.client.ErrorMessage(), "550 sender refused");
    EXPECT_TRUE(refused.trace.contains("< 550 sender refused"));

    // Accepted with the close right behind the last 250: delivered.
    ScriptServer accepting([](ScriptConnection& c) {
        c.reply("220 hi");
        for (const char* answer : {"250 hello", "250 ok", "250 ok", "354 go"}) {
            c.line();
            c.reply(answer);
        }
        while (!c.eof() && c.line() != ".")
            ;
        c.send("250 queued");
        c.drop();
    });
    Smtp delivered(accepting.port());
    EXPECT_TRUE(delivered.client.Mail()) << delivered.client.ErrorMessage().toStdString();
    EXPECT_EQ(delivered.client.LastResponse(), "250 queued");
    EXPECT_TRUE(delivered.client.Quit()) << "nothing left to end";
}

TEST(MailSmtp, EmptyOrNulReplyGivesAReadableError) {
    for (const QByteArray& reply : {QByteArray("\r\n"), QByteArray("\0\0\0\0\r\n", 6)}) {
        // Once as the greeting, once as the answer to MAIL FROM.
        for (const bool greeting : {true, false}) {
            ScriptServer server([&](ScriptConnection& c) {
                if (greeting) {
                    c.send(reply);
                } else {
                    c.reply("220 hi");
                    c.line();
                    c.reply("250 hello");
                    c.line();
                    c.send(reply);
                }
                c.readAll(-1, 1000);
            });
            Smtp s(server.port());
            EXPECT_FALSE(s.client.Mail());
            EXPECT_EQ(s.client.ErrorMessage(), "554 empty reply");
            EXPECT_TRUE(s.trace.contains("< 554 empty reply"));
            s.client.Quit();
        }
    }
}

TEST(MailSmtp, SocketExceptionsNeverLeaveTheOperations) {
    // Losing the wait control mid-dialogue makes the socket raise on the next read.
    ScriptServer server(ServeSmtp);
    Smtp s(server.port());
    auto* wait = new TWait;
    wait->SetInterval(100);
    s.client.SetWait(wait);
    s.client.OnDisplay = [&](TCustomSmtpClient*, const QString& m) {
        if (m.startsWith("> MAIL FROM"))
            delete wait;
    };
    bool sent = true;
    EXPECT_NO_THROW(sent = s.client.Mail());
    EXPECT_FALSE(sent);
    EXPECT_EQ(s.client.ErrorMessage(), "No wait object assigned");
    EXPECT_NO_THROW(EXPECT_TRUE(s.client.Quit()));
    EXPECT_NO_THROW(EXPECT_FALSE(s.client.Connect()));
    EXPECT_EQ(s.client.ErrorMessage(), "No wait object");
}

TEST(MailMime, QuotedPrintableKeepsEveryByteWithinShortLines) {
    EXPECT_EQ(QuotedPrintable(""), QByteArrayList({""}));
    EXPECT_EQ(QuotedPrintable("plain .text"), QByteArrayList({"plain .text"}));
    EXPECT_EQ(QuotedPrintable("a=b \t"), QByteArrayList({"a=3Db =09"}));
    EXPECT_EQ(QuotedPrintable("Gr\xc3\xbc\xc3\x9f"
                              "e\r\n\x01"),
              QByteArrayList({"Gr=C3=BC=C3=9Fe=0D=0A=01"}));
    // Escapes are never split by a soft break; every line holds at most 76.
    const QByteArray line = QByteArray(74, 'x') + "\xe9\xe9" + QByteArray(200, ' ') + "end";
    const QByteArrayList out = QuotedPrintable(line);
    QByteArray decoded;
    for (qsizetype i = 0; i < out.size(); ++i) {
        EXPECT_LE(out[i].size(), 76);
        EXPECT_EQ(out[i].endsWith('='), i + 1 < out.size());
        decoded += i + 1 < out.size() ? out[i].chopped(1) : out[i];
    }
    EXPECT_EQ(out[0], QByteArray(74, 'x') + '=');
    EXPECT_EQ(out[1].left(6), "=E9=E9");
    decoded.replace("=E9", "\xe9");
    EXPECT_EQ(decoded, line);
}

TEST(MailMime, HeaderValuesStaySevenBitAndWithinTheirLines) {
    EXPECT_EQ(SubjectValue("Test report", 9), "Test report");
    EXPECT_EQ(SubjectValue("two\r\nBcc: x", 9), "two  Bcc: x"); // no header of its own
    const QString subject = QString::fromUtf8("Grüße aus München ") + QString(40, u'\u20ac');
    const QByteArray encoded = SubjectValue(subject, 9);
    for (const QByteArray& line :
         QByteArray("Subject: " + encoded).replace("\r\n", "\n").split('\n'))
        EXPECT_LE(line.size(), 76) << line.toStdString();
    EXPECT_EQ(decodedWords("Subject: " + encoded), "Subject: " + subject);
    EXPECT_EQ(decodedWords(SubjectValue("a =?x?= b", 9)), "a =?x?= b");

    EXPECT_EQ(AddressValue("Me <me@here>, \"Doe, J\" <j@d>", 6), "Me <me@here>, \"Doe, J\" <j@d>");
    const QByteArray from = AddressValue(QString::fromUtf8("\"Jörg, M.\" <j@x.de>, Ann <a@b>"), 6);
    EXPECT_EQ(decodedWords(from), QString::fromUtf8("Jörg, M. <j@x.de>, Ann <a@b>"));
    EXPECT_FALSE(from.contains("\xc3"));

    // Only lines over 998 are broken: at a blank when there is one.
    const QByteArray words = "X-Long: " + QByteArray(600, 'a') + ' ' + QByteArray(600, 'b');
    EXPECT_EQ(FoldLongLines(words),
              "X-Long: " + QByteArray(600, 'a') + "\r\n " + QByteArray(600, 'b'));
    const QByteArray solid = "X-Solid: " + QByteArray(2000, 'c');
    const QByteArrayList parts = FoldLongLines(solid).split('\n');
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0], "X-Solid:\r"); // at the one blank there is
    EXPECT_EQ(parts[1].size(), 999);   // then forced: 998 and the CR
    EXPECT_EQ(parts[2], " " + QByteArray(997, 'c') + '\r');
    EXPECT_EQ(parts[3], " " + QByteArray(6, 'c'));
    EXPECT_EQ(FoldLongLines("a\r\nb"), "a\r\nb");
}
