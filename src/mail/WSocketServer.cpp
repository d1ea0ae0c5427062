// Listening and accepting, adopting handles, pausing, direct receives, address
// queries, the background host lookup, Flush and WaitForClose.
#include "mail/EventPump.h"
#include "mail/HostLookup.h"
#include "mail/WSocket.h"
#include "mail/Wait.h"

#include <QDeadlineTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace quorvia::mail {
namespace {

constexpr int kConnectionEvents = evRead | evWrite | evConnect | evClose;

} // namespace

int TCustomWSocket::Listen() {
    const char* missing = !m_portAssigned    ? "listen: port not assigned"
                          : !m_protoAssigned ? "listen: protocol not assigned"
                          : !m_addrAssigned  ? "listen: address not assigned"
                                             : nullptr;
    if (missing) {
        SetLastSocketError(WSAEINVAL);
        SocketError(QLatin1String(missing));
        return -1;
    }
    m_hSocket = ::socket(AF_INET, m_socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, m_protoNumber);
    if (m_hSocket < 0) {
        m_hSocket = INVALID_SOCKET;
        SetLastSocketErrorFromErrno();
        SocketError(QStringLiteral("socket"));
        return -1;
    }
    if (::bind(m_hSocket, reinterpret_cast<sockaddr*>(&m_sin), sizeof m_sin) != 0) {
        SetLastSocketErrorFromErrno();
        // Nothing is open yet in the component's eyes, so the descriptor goes now
        // rather than leaking when the report raises.
        ::close(m_hSocket);
        m_hSocket = INVALID_SOCKET;
        SocketError(QStringLiteral("Bind"));
        Close();
        return -1;
    }
    ChangeState(wsBound);
    SocketWindow::Kind kind = SocketWindow::Kind::Listening;
    if (m_socketType == SOCK_DGRAM) {
        kind = SocketWindow::Kind::Datagram;
        ChangeState(wsListening);
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
    } else {
        if (::listen(m_hSocket, 5) != 0) {
            SetLastSocketErrorFromErrno();
            SocketError(QStringLiteral("Listen"));
            return -1;
        }
        ChangeState(wsListening);
    }
    if (m_hSocket == INVALID_SOCKET)
        return -1;
    m_window->Select(m_hSocket, evRead | evWrite | evAccept | evClose, kind);
    return 0;
}

TSocket TCustomWSocket::Accept() {
    if (m_state != wsListening) {
        SetLastSocketError(WSAEINVAL);
        SocketError(QStringLiteral("not a listening socket"));
        return INVALID_SOCKET;
    }
    const int s = ::accept4(m_hSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int err = s < 0 ? errno : 0;
    m_window->RearmRead();
    if (s < 0) {
        SetLastSocketError(SocketErrorFromErrno(err));
        SocketError(QStringLiteral("Accept"));
        return INVALID_SOCKET;
    }
    m_acceptedSocket = s;
    return s;
}

void TCustomWSocket::Dup(TSocket NewHandle) {
    if (NewHandle == 0 || NewHandle == INVALID_SOCKET) {
        SetLastSocketError(WSAEINVAL);
        SocketError(QStringLiteral("Dup"));
        return;
    }
    if (m_state != wsClosed) {
        if (m_hSocket != INVALID_SOCKET) {
            m_window->Release();
            const int rc = ::close(m_hSocket);
            const int err = errno;
            m_hSocket = INVALID_SOCKET;
            if (rc != 0 && err != EINTR) {
                SetLastSocketError(SocketErrorFromErrno(err));
                SocketError(QStringLiteral("Dup (closesocket)"));
                return;
            }
        }
        ChangeState(wsClosed);
    }
    // A fresh session: nothing of an earlier one carries over to the new peer.
    DropSendQueue();
    m_lineReading = false;
    m_line.clear();
    m_closeFired = false;
    m_paused = false;

    m_hSocket = NewHandle;
    ::fcntl(NewHandle, F_SETFL, ::fcntl(NewHandle, F_GETFL) | O_NONBLOCK);
    int type = SOCK_STREAM;
    socklen_t len = sizeof type;
    ::getsockopt(NewHandle, SOL_SOCKET, SO_TYPE, &type, &len);
    m_window->Select(NewHandle, kConnectionEvents,
                     type == SOCK_DGRAM ? SocketWindow::Kind::Datagram
                                        : SocketWindow::Kind::Stream);
    ChangeState(wsConnected);
}

void TCustomWSocket::Shutdown(int How) {
    if (m_hSocket != INVALID_SOCKET)
        ::shutdown(m_hSocket, How);
}

int TCustomWSocket::Pause() {
    m_paused = true;
    m_window->Select(m_hSocket, 0, m_window->CurrentKind());
    return 0;
}

int TCustomWSocket::Resume() {
    m_paused = false;
    // A listening socket keeps its accept events through a pause.
    const int mask = kConnectionEvents | (m_state == wsListening ? evAccept : 0);
    m_window->Select(m_hSocket, mask, m_window->CurrentKind());
    return 0;
}

int TCustomWSocket::Receive(void* Buf, int Size) {
    const ssize_t n = ::recv(m_hSocket, Buf, qMax(Size, 0), 0);
    const int err = n < 0 ? SocketErrorFromErrno(errno) : 0;
    m_window->RearmRead();
    if (n < 0) {
        m_lastError = err;
        SetLastSocketError(err);
        return -1;
    }
    m_readCount += int(n);
    return int(n);
}

int TCustomWSocket::ReceiveFrom(void* Buf, int Size, sockaddr_in& From, int& FromLen) {
    socklen_t len = sizeof From;
    const ssize_t n =
        ::recvfrom(m_hSocket, Buf, qMax(Size, 0), 0, reinterpret_cast<sockaddr*>(&From), &len);
    const int err = n < 0 ? SocketErrorFromErrno(errno) : 0;
    m_window->RearmRead();
    if (n < 0) {
        m_lastError = err;
        SetLastSocketError(err);
        return -1;
    }
    FromLen = int(len);
    m_readCount += int(n);
    return int(n);
}

void TCustomWSocket::Flush() {
    if (m_multiThreaded) {
        // Bounded as well: a peer that stops reading must not hold the thread for ever.
        const QDeadlineTimer deadline(qint64(qMax(m_flushTimeout, 0)) * 1000);
        while (m_hSocket != INVALID_SOCKET && !m_allSent && !deadline.hasExpired()) {
            TryToSend();
            if (!m_allSent)
                PumpEvents(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return;
    }
    if (!m_waitCtrl) {
        RaiseException(QStringLiteral("No wait object assigned"));
        return;
    }
    QPointer<TCustomWait> wait = m_waitCtrl;
    auto finish = [&wait] {
        if (wait) {
            wait->Stop();
            wait->setVisible(false);
        }
    };
    wait->SetCaption(QString::number(m_flushTimeout));
    wait->setVisible(true);
    wait->Start();
    try {
        while (wait && wait->Running() && m_hSocket != INVALID_SOCKET && !m_allSent) {
            TryToSend();
            if (!m_allSent)
                PumpEvents(wait ? wait->Interval() : 0);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TCustomWSocket::WaitForClose() {
    while (m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        PumpEvents(0);
        if (m_hSocket == INVALID_SOCKET || m_state == wsClosed)
            break;
        int waiting = 0;
        if (BytesWaiting(waiting) != 0)
            break;
        if (waiting > 0) {
            if (m_lineReading)
                ReadLineStep();
            else
                TriggerDataAvailable(0);
            if (m_hSocket == INVALID_SOCKET)
                break;
        }
        // A peek stands in for the zero-length receive: data still waiting or the
        // peer's end ends the wait; "would block" goes on waiting for events.
        char probe;
        const ssize_t r = ::recv(m_hSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (r >= 0) {
            m_lastError = 0;
            break;
        }
        m_lastError = SocketErrorFromErrno(errno);
        if (m_lastError != WSAEWOULDBLOCK)
            break;
        PumpEvents(100);
    }
}

void TCustomWSocket::DnsLookup(const QString& HostName) {
    if (HostName.isEmpty()) {
        RaiseException(QStringLiteral("DNS lookup: invalid host name."));
        TriggerDnsLookupDone(WSAEINVAL);
        return;
    }
    m_dnsRequest = 0; // a pending lookup is dropped silently
    m_dnsResult.clear();
    m_dnsResultList.clear();
    in_addr address{};
    if (ParseDotted(HostName, address)) {
        m_dnsResult = DottedText(address);
        TriggerDnsLookupDone(0);
        return;
    }
    try {
        m_dnsRequest = StartHostLookup(m_window->Mailbox(), HostName);
    } catch (const std::system_error& e) {
        RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", HostName.toUtf8().constData(),
                          e.code().value());
    }
}

void TCustomWSocket::CancelDnsLookup() {
    if (m_dnsRequest == 0)
        return;
    m_dnsRequest = 0; // the worker's answer will find no taker
    if (!m_destroying)
        TriggerDnsLookupDone(WSAEINTR);
}

void TCustomWSocket::DnsLookupNotify(const LookupDoneEvent& done) {
    if (m_dnsRequest == 0 || done.Request != m_dnsRequest)
        return;
    m_dnsRequest = 0;
    if (done.Error == 0) {
        m_dnsResultList = done.Addresses;
        m_dnsResult = m_dnsResultList.value(0);
    }
    TriggerDnsLookupDone(quint16(done.Error));
}

QString TCustomWSocket::GetPeerAddr() {
    if (m_state != wsConnected)
        return QStringLiteral("error");
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    if (::getpeername(m_hSocket, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        SetLastSocketErrorFromErrno();
        SocketError(QStringLiteral("GetPeerName"));
        return QStringLiteral("error");
    }
    return DottedText(peer.sin_addr);
}

int TCustomWSocket::GetPeerName(sockaddr_in& Name, int& NameLen) {
    if (m_state != wsConnected)
        return -1;
    socklen_t len = sizeof Name;
    if (::getpeername(m_hSocket, reinterpret_cast<sockaddr*>(&Name), &len) != 0) {
        SetLastSocketErrorFromErrno();
        return -1;
    }
    NameLen = int(len);
    return 0;
}

QString TCustomWSocket::GetLocalPort() {
    if (m_state != wsBound && m_state != wsConnected && m_state != wsListening)
        return QStringLiteral("error");
    sockaddr_in local{};
    int len = 0;
    if (GetSockName(local, len) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(local.sin_port));
}

int TCustomWSocket::GetSockName(sockaddr_in& Name, int& NameLen) {
    socklen_t len = sizeof Name;
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&Name), &len) != 0) {
        SetLastSocketErrorFromErrno();
        return -1;
    }
    NameLen = int(len);
    return 0;
}

bool TCustomWSocket::TimevalIsSet(const TTimeVal& tv) {
    return tv.tv_sec != 0 || tv.tv_usec != 0;
}

void TCustomWSocket::TimevalClear(TTimeVal& tv) {
    tv = TTimeVal{};
}

bool TCustomWSocket::TimevalCompare(const TTimeVal& a, const TTimeVal& b, bool whenEqual) {
    const bool equal = a.tv_sec == b.tv_sec && a.tv_usec == b.tv_usec;
    return equal ? whenEqual : !whenEqual;
}

} // namespace quorvia::mail
