// Listening, accepting, adopting, pausing, datagrams and host lookups.
#include "LoopbackClient.h"
#include "Raised.h"
#include "ScriptServer.h"
#include "mail/WSocket.h"

#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>

using namespace quorvia::mail;
using quorvia::test::Client;
using quorvia::test::raised;
using quorvia::test::ScriptConnection;
using quorvia::test::ScriptServer;

namespace {

// A listening socket whose accepted peers are adopted by their own components
// and answer each line with "echo:" and the line.
struct EchoServer {
    TWait wait;
    TWSocket listener;
    std::vector<std::unique_ptr<TWSocket>> peers;
    explicit EchoServer(bool paused = false) {
        wait.SetInterval(100);
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        EXPECT_EQ(listener.Listen(), 0);
        listener.OnSessionAvailable = [this, paused](TCustomWSocket*, quint16) {
            auto peer = std::make_unique<TWSocket>();
            peer->SetWaitCtrl(&wait);
            peer->Dup(listener.Accept());
            peer->OnDataAvailable = [](TCustomWSocket* s, quint16) {
                char buf[256];
                const int n = s->Receive(buf, sizeof buf);
                if (n > 0)
                    s->SendStr("echo:" + QString::fromUtf8(buf, n));
            };
            if (paused)
                peer->Pause();
            peers.push_back(std::move(peer));
        };
    }
    int port() { return listener.GetLocalPort().toInt(); }
};

} // namespace

TEST(MailSocketServer, ListenAcceptAndDupServeAClient) {
    EchoServer server;
    EXPECT_EQ(server.listener.State(), wsListening);
    ASSERT_GT(server.port(), 0);

    Client connection(server.port());
    ASSERT_TRUE(connection.connected());
    TWSocket& client = connection.socket;
    client.SendStr("hello\r\n");
    QString line;
    client.ReadLine(50, line);
    EXPECT_EQ(line, "echo:hello");
    ASSERT_EQ(server.peers.size(), 1u);
    EXPECT_EQ(server.peers[0]->State(), wsConnected);
    EXPECT_EQ(server.peers[0]->GetPeerAddr(), "127.0.0.1");
    EXPECT_EQ(server.peers[0]->GetLocalPort(), QString::number(server.port()));

    // The client leaving closes the adopted peer, with one session-closed event.
    int closed = 0;
    server.peers[0]->OnSessionClosed = [&](TCustomWSocket*, quint16) { ++closed; };
    client.Close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.peers[0]->State() == wsClosed; }, 5000));
    EXPECT_EQ(closed, 1);
}

TEST(MailSocketServer, UsageErrorsAreReported) {
    TWSocket socket;
    EXPECT_EQ(raised([&] { socket.Accept(); }),
              "Error 10022 in function not a listening socket\r\nInvalid argument");
    socket.SetAddr("127.0.0.1");
    EXPECT_EQ(raised([&] { socket.Listen(); }),
              "Error 10022 in function listen: port not assigned\r\nInvalid argument");
    int errors = 0;
    socket.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(socket.Listen(), -1);
    EXPECT_EQ(socket.Accept(), INVALID_SOCKET);
    socket.Dup(INVALID_SOCKET);
    EXPECT_EQ(errors, 3);

    // Queries on a closed socket answer "error" without a report.
    EXPECT_EQ(socket.GetPeerAddr(), "error");
    EXPECT_EQ(socket.GetLocalPort(), "error");
    EXPECT_EQ(errors, 3);
    socket.OnError = nullptr;
    EXPECT_EQ(raised([&] { socket.Flush(); }), "No wait object assigned");
    QString line;
    EXPECT_EQ(raised([&] { socket.ReadLine(1, line); }), "No wait object assigned");
}

TEST(MailSocketServer, PausedPeerHearsNothingUntilResumed) {
    EchoServer server(true);
    Client connection(server.port());
    ASSERT_TRUE(connection.connected());
    TWSocket& client = connection.socket;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.peers.empty(); }, 5000));
    int replies = 0;
    client.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buf[64];
        if (s->Receive(buf, sizeof buf) > 0)
            ++replies;
    };
    client.SendStr("ping\r\n");
    QTest::qWait(300);
    EXPECT_EQ(replies, 0);
    server.peers[0]->Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] { return replies > 0; }, 5000));
}

TEST(MailSocketServer, DatagramsTravelBothWays) {
    QList<TSocketState> states; // outlives the sockets, whose closing it records
    int sessions = 0;
    QByteArray got;
    int fromPort = 0;
    TWSocket server;
    server.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState s) { states << s; };
    server.OnSessionConnected = [&](TCustomWSocket*, quint16 e) { sessions += e == 0; };
    server.SetProto("udp");
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    ASSERT_EQ(server.Listen(), 0);
    EXPECT_EQ(states, QList<TSocketState>({wsBound, wsListening, wsConnected}));
    EXPECT_EQ(sessions, 1);

    server.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buf[64];
        sockaddr_in from{};
        int len = 0;
        const int n = s->ReceiveFrom(buf, sizeof buf, from, len);
        if (n > 0) {
            got = QByteArray(buf, n);
            fromPort = ntohs(from.sin_port);
        }
    };
    TWSocket client;
    client.SetProto("udp");
    client.SetAddr("127.0.0.1");
    client.SetPort(server.GetLocalPort());
    client.Connect();
    EXPECT_EQ(client.State(), wsConnected);
    EXPECT_EQ(client.SendStr("ping"), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !got.isEmpty(); }, 5000));
    EXPECT_EQ(got, "ping");
    EXPECT_EQ(fromPort, client.LocalPortNumber());
}

TEST(MailSocketServer, DnsLookupReportsInTheOwningThread) {
    TWSocket socket;
    QList<int> done;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { done << e; };

    socket.DnsLookup("127.0.0.1"); // a dotted address answers at once
    EXPECT_EQ(done, QList<int>({0}));
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    EXPECT_TRUE(socket.DnsResultList().isEmpty());

    EXPECT_EQ(raised([&] { socket.DnsLookup(""); }), "DNS lookup: invalid host name.");
    socket.OnError = [](TCustomWSocket*) {};
    socket.DnsLookup("");
    EXPECT_EQ(done, QList<int>({0, 10022}));
    socket.OnError = nullptr;

    // A cancelled lookup reports 10004 and its late answer is ignored.
    done.clear();
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    EXPECT_EQ(done, QList<int>({10004}));
    QTest::qWait(300);
    EXPECT_EQ(done, QList<int>({10004}));
    EXPECT_TRUE(socket.DnsResultList().isEmpty());

    // The rest needs a name the resolver knows; a system without /etc/hosts has none.
    QStringList known;
    if (LookupHost("localhost", known) != 0)
        GTEST_SKIP() << "the resolver cannot resolve localhost (no /etc/hosts?)";

    // A second lookup drops the first silently; only the second reports.
    done.clear();
    socket.DnsLookup("localhost");
    socket.DnsLookup("localhost");
    EXPECT_TRUE(done.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !done.isEmpty(); }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(done, QList<int>({0}));
    EXPECT_TRUE(socket.DnsResultList().contains("127.0.0.1"));
    EXPECT_EQ(socket.DnsResult(), socket.DnsResultList().value(0));
}

TEST(MailSocketServer, WaitForCloseAndFlushEndWithThePeer) {
    ScriptServer server([](ScriptConnection& c) {
        c.readAll(5);
        c.reply("bye");
        c.drop();
    });
    TWait wait;
    wait.SetInterval(100);
    TWSocket socket;
    socket.SetWaitCtrl(&wait);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(server.portText());
    socket.Connect();
    ASSERT_TRUE(socket.Wait(50, wsConnected));
    QByteArray got;
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buf[64];
        const int n = s->Receive(buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
    };
    socket.SendStr("hello");
    socket.Flush();
    EXPECT_FALSE(wait.Running());
    EXPECT_FALSE(wait.isVisible());
    QElapsedTimer clock;
    clock.start();
    socket.WaitForClose();
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.State() == wsClosed; }, 3000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(got, "bye\r\n");
    EXPECT_EQ(socket.State(), wsClosed);
}
