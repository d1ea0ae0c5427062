#include "ScriptServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvia::test {
namespace {

int listenAnywhere(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

int FreePort() {
    int port = 0;
    ::close(listenAnywhere(port));
    return port;
}

void ScriptConnection::send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size() && !m_stop && !m_eof) {
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::send(m_fd, bytes.constData() + done, bytes.size() - done,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN)
            m_eof = true;
        if (n > 0)
            done += n;
    }
}

bool ScriptConnection::fill(int waitMs) {
    for (int waited = 0; waited < waitMs && !m_stop; waited += 20) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buf[65536];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) {
            m_eof = true;
            return false;
        }
        m_pending.append(buf, n);
        return true;
    }
    return false;
}

QByteArray ScriptConnection::line() {
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n');
        if (end >= 0) {
            QByteArray text = m_pending.left(end);
            m_pending.remove(0, end + 1);
            if (text.endsWith('\r'))
                text.chop(1);
            received << text;
            return text;
        }
        if (m_eof || !fill(5000)) {
            m_eof = true;
            return {};
        }
    }
}

QByteArray ScriptConnection::readAll(qsizetype count, int idleMs) {
    while ((count < 0 || m_pending.size() < count) && !m_eof && fill(idleMs)) {
    }
    QByteArray all = m_pending;
    m_pending.clear();
    return all;
}

void ScriptConnection::drop() {
    ::shutdown(m_fd, SHUT_RDWR);
    m_eof = true;
}

ScriptServer::ScriptServer(Script script) : m_script(std::move(script)) {
    m_listen = listenAnywhere(m_port);
    ::listen(m_listen, 4);
    m_thread = std::thread([this] { run(); });
}

ScriptServer::~ScriptServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
}

void ScriptServer::run() {
    int fd = -1;
    for (int waited = 0; waited < 10000 && !m_stop && fd < 0; waited += 20) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0)
            fd = ::accept(m_listen, nullptr, nullptr);
    }
    if (fd < 0)
        return;
    ScriptConnection c(fd, m_stop);
    m_script(c);
    {
        std::lock_guard lock(m_mutex);
        m_lines = c.received;
    }
    ::close(fd);
}

QByteArrayList ScriptServer::lines() {
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    return m_lines;
}

void ServeSmtp(ScriptConnection& c) {
    c.reply("220 scripted ready");
    while (!c.eof()) {
        const QByteArray l = c.line();
        const QByteArray verb = l.left(4).toUpper();
        if (c.eof())
            return;
        if (verb == "DATA") {
            c.reply("354 go ahead");
            while (!c.eof() && c.line() != ".") {
            }
            c.reply("250 accepted");
        } else if (verb == "QUIT") {
            c.reply("221 bye");
            c.readAll(-1, 1000);
            return;
        } else {
            c.reply("250 ok");
        }
    }
}

} // namespace quorvia::test
