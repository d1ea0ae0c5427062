#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvia::test {

// The server side of one connection, as a script sees it. Every read gives up
// after a few seconds, or at once when the server is being stopped.
class ScriptConnection {
public:
    explicit ScriptConnection(int fd, const std::atomic<bool>& stop) : m_fd(fd), m_stop(stop) {}
    void send(const QByteArray& bytes);
    void reply(const QByteArray& line) { send(line + "\r\n"); }
    // One line without CR LF; empty with eof() set when the client went away.
    QByteArray line();
    // Reads all bytes until the client closes, or `count` bytes arrived.
    QByteArray readAll(qsizetype count = -1, int idleMs = 5000);
    void drop();
    bool eof() const { return m_eof; }
    bool stopping() const { return m_stop; }
    QByteArrayList received; // every line read, in order

private:
    bool fill(int waitMs);
    int m_fd;
    const std::atomic<bool>& m_stop;
    QByteArray m_pending;
    bool m_eof = false;
};

// A TCP server on 127.0.0.1 at a free port that runs a script for the first
// connection on its own thread, independent of the code under test.
class ScriptServer {
public:
    using Script = std::function<void(ScriptConnection&)>;
    explicit ScriptServer(Script script);
    ~ScriptServer();
    int port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    // The lines the script read; waits for the script to end on its own first.
    QByteArrayList lines();

private:
    void run();
    Script m_script;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QByteArrayList m_lines;
    std::thread m_thread;
};

// A port on 127.0.0.1 where nothing listens.
int FreePort();

// Answers a plain SMTP dialogue: 220, then 250 to HELO, MAIL and RCPT, 354 to
// DATA, 250 after the data's "." and 221 to QUIT.
void ServeSmtp(ScriptConnection& c);

} // namespace quorvia::test
