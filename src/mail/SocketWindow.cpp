#include "mail/SocketWindow.h"

#include "mail/HostLookup.h"
#include "mail/SocketErrors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QtDebug>
#include <cerrno>
#include <sys/socket.h>

namespace quorvia::mail {
namespace {

class SocketEvent : public QEvent {
public:
    static QEvent::Type Type() {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    SocketEvent(int handle, quint64 generation, int events, int error)
        : QEvent(Type()), Handle(handle), Generation(generation), Events(events), Error(error) {}
    int Handle;
    quint64 Generation;
    int Events;
    int Error;
};

constexpr int kReadSide = evRead | evAccept | evClose;

} // namespace

SocketWindow::SocketWindow(SocketEventSink& sink, QObject* parent)
    : QObject(parent), m_sink(sink), m_mailbox(std::make_shared<LookupMailbox>(this)) {}

SocketWindow::~SocketWindow() {
    m_mailbox->Detach();
    dropNotifiers();
}

void SocketWindow::dropNotifiers() {
    // Never called from a notifier's own activation, so deleting at once is safe;
    // it must happen before the descriptor is closed.
    delete m_read;
    delete m_write;
    m_read = m_write = nullptr;
}

void SocketWindow::Release() {
    dropNotifiers();
    m_handle = -1;
    m_mask = 0;
    m_closeSeen = false;
    ++m_generation;
}

void SocketWindow::Select(int handle, int mask, Kind kind) {
    if (handle != m_handle) {
        Release();
        m_handle = handle;
    }
    m_mask = mask;
    m_kind = kind;
    if (mask == 0 || handle < 0) {
        dropNotifiers();
        return;
    }
    if (!m_read) {
        m_read = new QSocketNotifier(handle, QSocketNotifier::Read, this);
        connect(m_read, &QSocketNotifier::activated, this, [this] { onReadable(); });
    }
    if (!m_write) {
        m_write = new QSocketNotifier(handle, QSocketNotifier::Write, this);
        connect(m_write, &QSocketNotifier::activated, this, [this] { onWritable(); });
    }
    // An event whose condition already holds is delivered as soon as it is selected.
    m_read->setEnabled(kind != Kind::Connecting && !m_closeSeen && (mask & kReadSide));
    const bool writeWanted =
        kind == Kind::Connecting ? (mask & evConnect) : kind != Kind::Listening && (mask & evWrite);
    m_write->setEnabled(writeWanted);
}

void SocketWindow::RearmRead() {
    if (m_read && !m_closeSeen && m_kind != Kind::Connecting && (m_mask & kReadSide))
        m_read->setEnabled(true);
}

void SocketWindow::ArmWrite() {
    if (m_write && m_kind != Kind::Connecting && (m_mask & evWrite))
        m_write->setEnabled(true);
}

void SocketWindow::ConnectFailed(int error) {
    if (m_write)
        m_write->setEnabled(false);
    Post(m_handle, evConnect, error);
}

void SocketWindow::Post(int handle, int events, int error) {
    QCoreApplication::postEvent(this, new SocketEvent(handle, m_generation, events, error));
}

void SocketWindow::onReadable() {
    m_read->setEnabled(false);
    switch (m_kind) {
    case Kind::Connecting:
        return;
    case Kind::Listening:
        if (m_mask & evAccept)
            Post(m_handle, evAccept, 0);
        return;
    case Kind::Datagram:
        if (m_mask & evRead)
            Post(m_handle, evRead, 0);
        return;
    case Kind::Stream:
        break;
    }
    char probe;
    const ssize_t n = ::recv(m_handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        if (m_mask & evRead)
            Post(m_handle, evRead, 0);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        m_read->setEnabled(true);
        return;
    }
    m_closeSeen = true;
    if (m_mask & evClose)
        Post(m_handle, evClose, n == 0 ? 0 : SocketErrorFromErrno(errno));
}

void SocketWindow::onWritable() {
    m_write->setEnabled(false);
    if (m_kind != Kind::Connecting) {
        if (m_mask & evWrite)
            Post(m_handle, evWrite, 0);
        return;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    Post(m_handle, evConnect, SocketErrorFromErrno(err));
    if (err != 0)
        return;
    m_kind = Kind::Stream;
    if (m_mask & evWrite)
        Post(m_handle, evWrite, 0);
    RearmRead();
}

bool SocketWindow::event(QEvent* e) {
    const auto type = e->type();
    if (type != SocketEvent::Type() && type != LookupDoneEvent::Type())
        return QObject::event(e);
    // Exceptions must not unwind through the event loop: what nobody catches
    // in a handler ends here.
    try {
        if (type == SocketEvent::Type()) {
            const auto* se = static_cast<SocketEvent*>(e);
            if (se->Generation == m_generation)
                m_sink.SocketNotify(se->Handle, se->Events, se->Error);
        } else {
            m_sink.DnsLookupNotify(*static_cast<LookupDoneEvent*>(e));
        }
    } catch (const std::exception& ex) {
        qWarning("Unhandled exception in a socket event: %s", ex.what());
    } catch (...) {
        qWarning("Unhandled exception in a socket event");
    }
    return true;
}

} // namespace quorvia::mail
