#include "mail/WSocket.h"

#include "mail/EventPump.h"
#include "mail/LeadingNumber.h"
#include "mail/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvia::mail {
namespace {

constexpr int kMaxLine = 254;

bool startsWithDigit(const QString& s) {
    return !s.isEmpty() && s[0].isDigit();
}

} // namespace

TCustomWSocket::TCustomWSocket(QObject* Owner)
    : QObject(Owner), m_window(new SocketWindow(*this, this)) {
    ResetFields();
}

TCustomWSocket::~TCustomWSocket() {
    m_destroying = true;
    try {
        CancelDnsLookup();
        if (m_state != wsClosed)
            Close();
    } catch (...) {
        // Nothing may leave a destructor.
    }
    if (m_hSocket != INVALID_SOCKET) {
        m_window->Release();
        ::close(m_hSocket);
    }
}

// ---- error reporting -------------------------------------------------------

void TCustomWSocket::RaiseException(const QString& Msg) {
    if (OnError) {
        TriggerError();
        return;
    }
    throw ESocketException(Msg);
}

void TCustomWSocket::RaiseExceptionFmt(const char* Format, ...) {
    va_list args;
    va_start(args, Format);
    const QString text = QString::vasprintf(Format, args);
    va_end(args);
    RaiseException(text);
}

void TCustomWSocket::SocketError(const QString& FunctionName) {
    const int n = LastSocketError();
    const QString text = QStringLiteral("Error ") + QString::number(n) +
                         QStringLiteral(" in function ") + FunctionName + QStringLiteral("\r\n") +
                         SocketErrorDesc(n);
    if (n == WSAECONNRESET || n == WSAENOTCONN) {
        if (m_hSocket != INVALID_SOCKET) {
            m_window->Release();
            ::close(m_hSocket);
            m_hSocket = INVALID_SOCKET;
        }
        if (m_state != wsClosed)
            ChangeState(wsClosed);
    }
    RaiseException(text);
}

// ---- triggers ----------------------------------------------------------------

bool TCustomWSocket::TriggerDataAvailable(quint16 Error) {
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, Error);
    return true;
}

void TCustomWSocket::TriggerSessionAvailable(quint16 Error) {
    if (OnSessionAvailable)
        OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerSessionConnected(quint16 Error) {
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(quint16 Error) {
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TCustomWSocket::TriggerDataSent(quint16 Error) {
    if (OnDataSent)
        OnDataSent(this, Error);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState) {
    if (OnChangeState)
        OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::TriggerDnsLookupDone(quint16 Error) {
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, Error);
}

void TCustomWSocket::TriggerError() {
    if (OnError)
        OnError(this);
}

// ---- properties --------------------------------------------------------------

bool TCustomWSocket::MayChange(bool assigned, const QString& stored, const QString& value,
                               const char* what) {
    if (assigned && value == stored)
        return false; // nothing to do
    if (m_state != wsClosed) {
        RaiseException(QStringLiteral("Cannot change %1 if not closed").arg(QLatin1String(what)));
        return false;
    }
    return true;
}

void TCustomWSocket::SetProto(const QString& V) {
    if (!MayChange(m_protoAssigned, m_protoStr, V, "Proto"))
        return;
    m_protoStr = V;
    const QString t = V.trimmed();
    if (t == QLatin1String("not found"))
        return;
    m_protoAssigned = true;
    if (startsWithDigit(t)) {
        m_protoNumber = LeadingNumber(t);
    } else if (!LookupProtocol(t, m_protoNumber)) {
        m_protoAssigned = false;
        SetLastSocketError(WSANO_DATA);
        SocketError(QStringLiteral("SetProto: Cannot convert protocol '%1'").arg(t));
        return;
    }
    m_socketType = m_protoNumber == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
}

void TCustomWSocket::SetPort(const QString& V) {
    if (!MayChange(m_portAssigned, m_portStr, V, "Port"))
        return;
    m_portStr = V;
    m_portAssigned = true;
    const QString t = V.trimmed();
    int port = 0;
    bool ok = true;
    if (startsWithDigit(t)) {
        port = LeadingNumber(t);
        ok = port <= 65535; // a larger number would wrap to some other port
        SetLastSocketError(WSAEINVAL);
    } else {
        ok = LookupService(t, m_protoStr.trimmed(), port);
        SetLastSocketError(WSANO_DATA);
    }
    if (!ok) {
        m_portAssigned = false;
        SocketError(QStringLiteral("SetPort: Cannot convert port '%1'").arg(t));
        return;
    }
    m_portNumber = port;
    m_sin.sin_port = htons(uint16_t(port));
}

void TCustomWSocket::SetAddr(const QString& V) {
    if (!MayChange(m_addrAssigned, m_addrStr, V, "Addr"))
        return;
    m_addrStr = V;
    m_addrAssigned = false;
    m_sin.sin_addr = ResolveHost(V);
    m_addrAssigned = true;
}

TSocketSendFlags TCustomWSocket::SendFlags() {
    if (m_sendFlags != 0 && m_sendFlags != 1)
        RaiseException(QStringLiteral("Invalid internal SendFlags"));
    return m_sendFlags == 1 ? wsSendUrgent : wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags flags) {
    switch (flags) {
    case wsSendNormal:
        m_sendFlags = 0;
        break;
    case wsSendUrgent:
        m_sendFlags = 1;
        break;
    default:
        RaiseException(QStringLiteral("Invalid SendFlags"));
    }
}

int TCustomWSocket::BytesWaiting(int& count) {
    count = 0;
    if (::ioctl(m_hSocket, FIONREAD, &count) < 0)
        return SetLastSocketErrorFromErrno();
    return 0;
}

int TCustomWSocket::RcvdCount() {
    int count = 0;
    if (BytesWaiting(count) != 0) {
        SocketError(QStringLiteral("ioctlSocket"));
        return -1;
    }
    return count;
}

// ---- state -------------------------------------------------------------------

void TCustomWSocket::ChangeState(TSocketState NewState) {
    const TSocketState old = m_state;
    m_state = NewState;
    TriggerChangeState(old, NewState);
    if (!m_multiThreaded && m_waitCtrl &&
        (NewState == m_awaited || (m_awaited == wsConnected && NewState == wsClosed)))
        m_waitCtrl->Stop();
}

void TCustomWSocket::ResetFields() {
    m_sin = sockaddr_in{};
    m_sin.sin_family = AF_INET;
    m_portAssigned = false;
    m_addrAssigned = false;
    m_protoAssigned = true;
    m_protoNumber = IPPROTO_TCP;
    m_protoStr = QStringLiteral("tcp");
    m_socketType = SOCK_STREAM;
    m_hSocket = INVALID_SOCKET;
    m_state = wsClosed;
    m_awaited = wsInvalidState;
    m_allSent = true;
    m_lineReading = false; // the text read so far stays for a ReadLine that is waiting
    m_paused = false;
    m_readCount = 0;
    m_closeFired = false;
    m_flushTimeout = 60;
    // Bytes a closed session never sent must not reach the next peer.
    DropSendQueue();
}

void TCustomWSocket::DropSendQueue() {
    while (m_bufList.size() > 1)
        m_bufList.pop_back();
    if (!m_bufList.empty()) {
        int pending = 0;
        m_bufList.front()->Peek(pending);
        m_bufList.front()->Remove(pending);
    }
    m_allSent = true;
}

// ---- connect and close -------------------------------------------------------

bool TCustomWSocket::BindSocket() {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::bind(m_hSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        RaiseExceptionFmt("winsock.bind failed, error #%d", SetLastSocketErrorFromErrno());
        return false;
    }
    socklen_t len = sizeof local;
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
        RaiseExceptionFmt("winsock.getsockname failed, error #%d", SetLastSocketErrorFromErrno());
        return false;
    }
    m_localPort = ntohs(local.sin_port);
    return true;
}

void TCustomWSocket::Connect() {
    if (m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        RaiseException(QStringLiteral("Connect: Socket already in use"));
        return;
    }
    if (!m_portAssigned) {
        RaiseException(QStringLiteral("Connect: No Port Specified"));
        return;
    }
    if (!m_addrAssigned) {
        RaiseException(QStringLiteral("Connect: No IP Address Specified"));
        return;
    }
    if (!m_protoAssigned) {
        RaiseException(QStringLiteral("Connect: No Protocol Specified"));
        return;
    }
    m_hSocket = ::socket(AF_INET, m_socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, m_protoNumber);
    if (m_hSocket < 0) {
        m_hSocket = INVALID_SOCKET;
        SetLastSocketErrorFromErrno();
        SocketError(QStringLiteral("Connect (socket)"));
        return;
    }
    ChangeState(wsOpened);

    const bool datagram = m_socketType == SOCK_DGRAM;
    auto option = [this](int name, const void* value, socklen_t size, const char* what) {
        if (::setsockopt(m_hSocket, SOL_SOCKET, name, value, size) == 0)
            return true;
        SetLastSocketErrorFromErrno();
        SocketError(QLatin1String(what));
        return false;
    };
    const int on = 1;
    if (datagram) {
        if (!BindSocket())
            return;
        if (m_sin.sin_addr.s_addr == INADDR_BROADCAST &&
            !option(SO_BROADCAST, &on, sizeof on, "setsockopt(SO_BROADCAST)"))
            return;
    } else {
        const linger hardClose{1, 0}; // closing resets the connection at once
        if (!option(SO_LINGER, &hardClose, sizeof hardClose, "setsockopt(SO_LINGER)") ||
            !option(SO_KEEPALIVE, &on, sizeof on, "setsockopt(SO_KEEPALIVE)") ||
            !option(SO_REUSEADDR, &on, sizeof on, "setsockopt(SO_REUSEADDR)"))
            return;
    }
    m_window->Select(m_hSocket, evRead | evWrite | evAccept | evConnect | evClose,
                     datagram ? SocketWindow::Kind::Datagram : SocketWindow::Kind::Connecting);
    if (datagram) {
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
        return;
    }
    if (::connect(m_hSocket, reinterpret_cast<sockaddr*>(&m_sin), sizeof m_sin) != 0 &&
        errno != EINPROGRESS) {
        const int err = errno;
        const int code = SocketErrorFromErrno(err);
        if (err == ECONNREFUSED || err == ETIMEDOUT || err == EHOSTUNREACH) {
            // Outcomes of the attempt itself arrive as the connect event, as they
            // do when the system reports them later.
            m_window->ConnectFailed(code);
        } else {
            m_lastError = code;
            SetLastSocketError(code);
            SocketError(QStringLiteral("Connect"));
            return;
        }
    }
    ChangeState(wsConnecting);
}

void TCustomWSocket::Close() {
    InternalClose(true);
}

void TCustomWSocket::Abort() {
    InternalClose(false);
}

void TCustomWSocket::InternalClose(bool ShutFirst) {
    if (m_state == wsClosed)
        return;
    if (m_hSocket == INVALID_SOCKET) {
        ChangeState(wsClosed);
        ResetFields();
        return;
    }
    if (ShutFirst)
        ::shutdown(m_hSocket, SHUT_RDWR);
    m_window->Release();
    // Linux releases the descriptor even when close reports an error, so the
    // component is closed either way; the error is still reported.
    int closeError = 0;
    if (::close(m_hSocket) != 0 && errno != EINTR)
        closeError = SocketErrorFromErrno(errno);
    m_hSocket = INVALID_SOCKET;
    ChangeState(wsClosed);
    if (!m_destroying && !m_closeFired && OnSessionClosed) {
        m_closeFired = true;
        TriggerSessionClosed(0);
    }
    ResetFields();
    if (closeError != 0) {
        m_lastError = closeError;
        SetLastSocketError(closeError);
        SocketError(QStringLiteral("Disconnect (closesocket)"));
    }
}

// ---- sending -----------------------------------------------------------------

int TCustomWSocket::Send(const void* Data, int Len) {
    if (m_state != wsConnected) {
        SetLastSocketError(WSAENOTCONN);
        SocketError(QStringLiteral("Send"));
        return -1;
    }
    m_allSent = false;
    if (Len > 0)
        PutDataInSendBuffer(static_cast<const char*>(Data), Len);
    else
        Len = 0;
    TryToSend();
    if (m_allSent && m_hSocket != INVALID_SOCKET)
        m_window->Post(m_hSocket, evWrite, 0);
    return Len;
}

int TCustomWSocket::SendStr(const QString& S) {
    const QByteArray bytes = S.toUtf8();
    return Send(bytes.constData(), int(bytes.size()));
}

void TCustomWSocket::PutDataInSendBuffer(const char* Data, int Len) {
    if (Len <= 0)
        return;
    if (m_bufList.empty())
        m_bufList.push_back(std::make_unique<TBuffer>(m_bufSize));
    int taken = m_bufList.back()->Write(Data, Len);
    while (taken < Len) {
        m_bufList.push_back(std::make_unique<TBuffer>(m_bufSize));
        taken += m_bufList.back()->Write(Data + taken, Len - taken);
    }
}

int TCustomWSocket::SocketSend(const char* Data, int Len) {
    const int flags = MSG_NOSIGNAL | (m_sendFlags == 1 ? MSG_OOB : 0);
    const ssize_t n = m_socketType == SOCK_DGRAM
                          ? ::sendto(m_hSocket, Data, Len, flags,
                                     reinterpret_cast<sockaddr*>(&m_sin), sizeof m_sin)
                          : ::send(m_hSocket, Data, Len, flags);
    if (n < 0)
        SetLastSocketErrorFromErrno();
    return int(n);
}

void TCustomWSocket::TryToSend() {
    if (m_hSocket == INVALID_SOCKET)
        return;
    if (m_bufList.empty()) {
        m_allSent = true;
        return;
    }
    for (;;) {
        TBuffer& chunk = *m_bufList.front();
        int len = 0;
        const char* data = chunk.Peek(len);
        if (len > 0) {
            const int n = SocketSend(data, len);
            if (n == 0)
                return;
            if (n < 0) {
                const int err = LastSocketError();
                if (err == WSAEINVAL || err == WSAENOTSOCK || err == WSAECONNRESET ||
                    err == WSAENOTCONN) {
                    Close();
                } else if (err == WSAEWOULDBLOCK) {
                    m_window->ArmWrite();
                } else {
                    SocketError(QStringLiteral("TryToSend failed"));
                }
                return;
            }
            chunk.Remove(n);
            if (n < len) {
                m_window->ArmWrite(); // the rest goes with the next write event
                return;
            }
            continue;
        }
        if (m_bufList.size() > 1) {
            m_bufList.pop_front();
            continue;
        }
        m_allSent = true;
        return;
    }
}

// ---- events ------------------------------------------------------------------

void TCustomWSocket::SocketNotify(int handle, int events, int error) {
    if (handle != m_hSocket || m_paused)
        return;
    // Each bit is handled in this order; a handler that closed the socket ends the rest.
    if (events & evConnect) {
        ChangeState(wsConnected);
        TriggerSessionConnected(quint16(error));
        if (error != 0 && m_state != wsClosed)
            Close();
    }
    if ((events & evRead) && handle == m_hSocket)
        ProcessReadable();
    if ((events & evWrite) && handle == m_hSocket) {
        TryToSend();
        if (m_allSent && OnDataSent)
            TriggerDataSent(quint16(error));
    }
    if ((events & evAccept) && handle == m_hSocket)
        TriggerSessionAvailable(quint16(error));
    if ((events & evClose) && handle == m_hSocket && m_state != wsConnecting) {
        ProcessReadable();
        if (m_lineReading)
            EndLine();
        if (OnSessionClosed && !m_closeFired) {
            m_closeFired = true;
            TriggerSessionClosed(quint16(error));
        }
        if (m_state != wsClosed)
            Close();
    }
}

void TCustomWSocket::ProcessReadable() {
    for (;;) {
        m_lastError = 0;
        int before = 0;
        if (m_hSocket == INVALID_SOCKET || BytesWaiting(before) != 0)
            before = 0;
        const int readBefore = m_readCount;
        try {
            if (m_lineReading)
                ReadLineStep();
            else if (!TriggerDataAvailable(0))
                return; // no handler: the bytes stay in the socket
        } catch (...) {
            return; // a handler's exception ends this round, nothing more
        }
        if (m_lastError != 0 || m_hSocket == INVALID_SOCKET)
            return;
        int after = 0;
        if (BytesWaiting(after) != 0) {
            m_lastError = LastSocketError();
            return;
        }
        // Stop when nothing waits, and when this pass took nothing: a handler that
        // leaves the bytes alone must not spin here for ever.
        if (after == 0 || (m_readCount == readBefore && after >= before))
            return;
    }
}

// ---- reading lines -----------------------------------------------------------

void TCustomWSocket::EndLine() {
    m_lineReading = false;
    if (!m_multiThreaded && m_waitCtrl)
        m_waitCtrl->Stop();
}

void TCustomWSocket::ReadLineStep() {
    for (;;) {
        if (m_hSocket == INVALID_SOCKET) {
            EndLine();
            return;
        }
        int waiting = 0;
        if (m_state == wsConnected && BytesWaiting(waiting) != 0) {
            m_lineReading = false;
            SocketError(QStringLiteral("ioctlSocket"));
            return;
        }
        if (waiting <= 0)
            return; // the next read event goes on with the line
        char byte = 0;
        const ssize_t n = ::recv(m_hSocket, &byte, 1, 0);
        const int err = n < 0 ? SocketErrorFromErrno(errno) : 0;
        m_window->RearmRead();
        if (n == 1) {
            ++m_readCount;
            bool end = byte == '\n';
            if (byte != '\r' && byte != '\n')
                m_line.append(byte);
            if (m_line.size() >= kMaxLine) {
                end = true;
                if (OnLineTooLong)
                    OnLineTooLong(this);
            }
            if (end) {
                m_lineComplete = true;
                EndLine();
                return;
            }
            continue;
        }
        if (n == 0 || err == WSAECONNRESET) {
            EndLine();
            Close();
            return;
        }
        if (err == WSAEWOULDBLOCK)
            continue;
        m_lastError = err;
        SetLastSocketError(err);
        SocketError(QStringLiteral("ReadLine"));
        return;
    }
}

void TCustomWSocket::ReadLine(int Timeout, QString& Line) {
    if (!m_multiThreaded && !m_waitCtrl) {
        RaiseException(QStringLiteral("No wait object assigned"));
        return;
    }
    if (!m_lineReading) {
        m_line.clear();
        m_lineReading = true;
        m_lineComplete = false;
    }
    ReadLineStep();
    if (m_lineReading) {
        if (m_multiThreaded) {
            const QDeadlineTimer deadline(qint64(qMax(Timeout, 0)) * 1000);
            while (m_lineReading && !deadline.hasExpired())
                PumpEvents(int(qMax<qint64>(1, deadline.remainingTime())));
        } else {
            QPointer<TCustomWait> wait = m_waitCtrl;
            wait->SetCaption(QString::number(Timeout));
            wait->setVisible(true);
            wait->RunModal();
            if (wait)
                wait->setVisible(false);
        }
    }
    Line = QString::fromUtf8(m_line);
}

// ---- waiting -----------------------------------------------------------------

bool TCustomWSocket::Wait(int Timeout, TSocketState AState) {
    // A state that has already come, or cannot come any more, needs no wait.
    if (m_state == AState)
        return true;
    if (AState == wsConnected && m_state == wsClosed)
        return false;
    m_awaited = AState;
    if (m_multiThreaded) {
        const QDeadlineTimer deadline(qint64(qMax(Timeout, 0)) * 1000);
        while (!deadline.hasExpired() && m_state != AState &&
               !(AState == wsConnected && m_state == wsClosed))
            PumpEvents(int(qMax<qint64>(1, deadline.remainingTime())));
    } else {
        if (!m_waitCtrl) {
            SetLastSocketError(WSANO_DATA);
            SocketError(QStringLiteral("TWSocket.Wait"));
            return false;
        }
        QPointer<TCustomWait> wait = m_waitCtrl;
        wait->SetCaption(QString::number(Timeout));
        wait->setVisible(true);
        wait->RunModal();
        if (wait)
            wait->setVisible(false);
    }
    const bool result = m_state == AState;
    m_awaited = wsInvalidState;
    return result;
}

void TCustomWSocket::MessagePump() {
    PumpEvents(0);
}

} // namespace quorvia::mail
