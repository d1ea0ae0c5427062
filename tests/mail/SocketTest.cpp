// The socket's client path against plain-socket peers on 127.0.0.1.
#include "LoopbackClient.h"
#include "Raised.h"
#include "ScriptServer.h"
#include "mail/WSocket.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace quorvia::mail;
using quorvia::test::Client;
using quorvia::test::FreePort;
using quorvia::test::raised;
using quorvia::test::ScriptConnection;
using quorvia::test::ScriptServer;

namespace {

// Records the size of every send the queue makes.
class RecordingSocket : public TWSocket {
public:
    QList<int> sends;

protected:
    int SocketSend(const char* Data, int Len) override {
        sends << Len;
        return TWSocket::SocketSend(Data, Len);
    }
};

} // namespace

TEST(MailSocket, ErrorTextsAndSendOnAClosedSocket) {
    EXPECT_EQ(SocketErrorDesc(10055), "No buffer space available");
    EXPECT_EQ(SocketErrorDesc(11004), "No Data");
    EXPECT_EQ(SocketErrorDesc(0), "No Error");
    EXPECT_EQ(SocketErrorDesc(12345), "Not a WinSock error");

    TWSocket socket;
    EXPECT_EQ(raised([&] { EXPECT_EQ(socket.SendStr("x"), -1); }),
              "Error 10057 in function Send\r\nSocket is not connected");
    int errors = 0;
    socket.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(socket.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(MailSocket, PropertySettersResolveAndGuardTheirValues) {
    int port = 0;
    ASSERT_TRUE(LookupService("smtp", "tcp", port));
    EXPECT_EQ(port, 25);

    TWSocket socket;
    EXPECT_EQ(socket.Proto(), "tcp");
    socket.SetPort("smtp");
    EXPECT_EQ(raised([&] { socket.SetPort("no-such-service"); }),
              "Error 11004 in function SetPort: Cannot convert port 'no-such-service'\r\nNo Data");
    EXPECT_EQ(socket.Port(), "no-such-service");
    EXPECT_EQ(raised([&] { socket.SetPort("70000"); }),
              "Error 10022 in function SetPort: Cannot convert port '70000'\r\nInvalid argument");
    socket.SetAddr("255.255.255.255");
    EXPECT_EQ(raised([&] { socket.Connect(); }), "Connect: No Port Specified");
    EXPECT_EQ(raised([&] { socket.SetProto("bogus-proto"); }),
              "Error 11004 in function SetProto: Cannot convert protocol 'bogus-proto'\r\nNo Data");

    // Blanks around the number and letters after it are ignored.
    for (const QString form : {" %1 ", "%1xyz"}) {
        ScriptServer server([](ScriptConnection& c) { c.reply("hi"); });
        TWait wait;
        TWSocket client;
        client.SetWaitCtrl(&wait);
        client.SetAddr("127.0.0.1");
        client.SetPort(form.arg(server.port()));
        client.Connect();
        ASSERT_TRUE(client.Wait(50, wsConnected)) << form.toStdString();

        // Nothing may change while open; the stored values stay.
        EXPECT_EQ(raised([&] { client.SetAddr("127.0.0.2"); }), "Cannot change Addr if not closed");
        EXPECT_EQ(raised([&] { client.SetPort("1"); }), "Cannot change Port if not closed");
        EXPECT_EQ(raised([&] { client.SetProto("udp"); }), "Cannot change Proto if not closed");
        EXPECT_EQ(client.Addr(), "127.0.0.1");
        EXPECT_EQ(raised([&] { client.Connect(); }), "Connect: Socket already in use");

        // A close forgets address and port (the texts stay readable).
        client.Close();
        EXPECT_EQ(client.Addr(), "127.0.0.1");
        EXPECT_EQ(raised([&] { client.Connect(); }), "Connect: No Port Specified");
    }
}

TEST(MailSocket, RefusedConnectionEndsTheWaitEarly) {
    TWait wait;
    TWSocket socket;
    socket.SetWaitCtrl(&wait);
    QList<TSocketState> states;
    QList<int> connectErrors;
    socket.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState s) { states << s; };
    socket.OnSessionConnected = [&](TCustomWSocket*, quint16 e) { connectErrors << e; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(QString::number(FreePort()));
    socket.Connect();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(socket.Wait(15, wsConnected));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(connectErrors, QList<int>({10061}));
    EXPECT_EQ(states, QList<TSocketState>({wsOpened, wsConnecting, wsConnected, wsClosed}));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(MailSocket, ReadLineSplitsStripsAndCutsLines) {
    ScriptServer server([](ScriptConnection& c) {
        c.send("first\r\nsecond\r\r\n" + QByteArray(300, 'x') + "\r\n");
        c.line(); // until the client asks for more
        c.send("part");
        QThread::msleep(100);
        c.drop();
    });
    Client client(server.port());
    ASSERT_TRUE(client.connected());
    int tooLong = 0;
    client.socket.OnLineTooLong = [&](TCustomWSocket*) { ++tooLong; };
    QString line;
    client.socket.ReadLine(50, line);
    EXPECT_EQ(line, "first");
    client.socket.ReadLine(50, line);
    EXPECT_EQ(line, "second");
    client.socket.ReadLine(50, line);
    EXPECT_EQ(line, QString(254, 'x'));
    EXPECT_EQ(tooLong, 1);
    client.socket.ReadLine(50, line);
    EXPECT_EQ(line, QString(46, 'x'));
    EXPECT_EQ(client.socket.ReadCount(), 7 + 9 + 302);

    // The peer closing mid-line ends the wait at once with what came.
    int closed = 0;
    client.socket.OnSessionClosed = [&](TCustomWSocket*, quint16) { ++closed; };
    client.socket.SendStr("more\r\n");
    QElapsedTimer clock;
    clock.start();
    client.socket.ReadLine(50, line);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(line, "part");
    EXPECT_EQ(client.socket.State(), wsClosed);
    EXPECT_EQ(closed, 1);
}

TEST(MailSocket, SendQueuesChunksOf1514AndReportsOnce) {
    QByteArray got;
    ScriptServer server([&](ScriptConnection& c) { got = c.readAll(4000); });
    TWait wait;
    RecordingSocket socket;
    socket.SetWaitCtrl(&wait);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(server.portText());
    socket.Connect();
    ASSERT_TRUE(socket.Wait(50, wsConnected));
    QTest::qWait(50); // the write event that follows the connection
    int sent = 0;
    socket.OnDataSent = [&](TCustomWSocket*, quint16) { ++sent; };
    QByteArray data(4000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    EXPECT_EQ(socket.Send(data.constData(), int(data.size())), 4000);
    EXPECT_EQ(sent, 0); // it comes through the event queue, after Send returned
    EXPECT_TRUE(QTest::qWaitFor([&] { return sent > 0; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(socket.sends, QList<int>({1514, 1514, 972}));
    server.lines();
    EXPECT_EQ(got, data);
}

TEST(MailSocket, ABackedUpSendResumesOnWriteEvents) {
    const qsizetype total = 24 * 1024 * 1024;
    QByteArray got;
    ScriptServer server([&](ScriptConnection& c) {
        QThread::msleep(300); // let the client's buffers fill first
        got = c.readAll(total);
    });
    Client client(server.port());
    ASSERT_TRUE(client.connected());
    QTest::qWait(50);
    int sent = 0;
    client.socket.OnDataSent = [&](TCustomWSocket*, quint16) { ++sent; };
    QByteArray data(total, '\0');
    for (qsizetype i = 0; i < total; i += 4096)
        data[i] = char(i / 4096);
    client.socket.Send(data.constData(), int(total));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sent > 0; }, 20000));
    server.lines();
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(got.size(), total);
    EXPECT_EQ(QCryptographicHash::hash(got, QCryptographicHash::Sha1),
              QCryptographicHash::hash(data, QCryptographicHash::Sha1));
}

TEST(MailSocket, MultiThreadedWaitsByTheClockInAWorkerThread) {
    ScriptServer server([](ScriptConnection& c) {
        c.reply("hello");
        c.readAll();
    });
    bool connected = false;
    QString first, partial;
    qint64 partialMs = 0;
    QThread* worker = QThread::create([&] {
        TWSocket socket; // no wait control: the clock and the thread's own loop
        socket.SetMultiThreaded(true);
        socket.SetAddr("127.0.0.1");
        socket.SetPort(server.portText());
        socket.Connect();
        connected = socket.Wait(5, wsConnected);
        socket.ReadLine(5, first);
        QElapsedTimer clock;
        clock.start();
        socket.ReadLine(1, partial);
        partialMs = clock.elapsed();
        socket.Close();
    });
    worker->start();
    ASSERT_TRUE(worker->wait(10000));
    delete worker;
    EXPECT_TRUE(connected);
    EXPECT_EQ(first, "hello");
    EXPECT_EQ(partial, "");
    EXPECT_GE(partialMs, 900);
    EXPECT_LT(partialMs, 3000);
}
