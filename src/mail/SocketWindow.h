#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace quorvia::mail {

class LookupMailbox;
class LookupDoneEvent;

// Network event bits of a socket notification.
enum NetEvent : int {
    evRead = 0x01,
    evWrite = 0x02,
    evAccept = 0x08,
    evConnect = 0x10,
    evClose = 0x20,
};

// Receives what the window delivers, always in the window's thread.
class SocketEventSink {
public:
    virtual ~SocketEventSink() = default;
    virtual void SocketNotify(int handle, int events, int error) = 0;
    virtual void DnsLookupNotify(const LookupDoneEvent& done) = 0;
};

// Plays the hidden window of a socket component. It watches the descriptor
// with QSocketNotifiers and turns readiness into socket events that are posted
// to itself, so every event reaches the owning thread through its event queue,
// in arrival order, after whatever call caused it has returned. Background
// lookups post their completion here as well.
//
// Events are re-enabled the way an asynchronous select does it: a read event
// is not repeated until the owner receives from the socket, an accept event
// until it accepts, a write event comes once the socket can take data again
// after a send could not complete, and the close event comes once.
class SocketWindow : public QObject {
public:
    enum class Kind { Connecting, Stream, Listening, Datagram };

    SocketWindow(SocketEventSink& sink, QObject* parent);
    ~SocketWindow() override;

    // Delivers the events of `mask` for `handle` from now on; mask 0 stops delivery.
    void Select(int handle, int mask, Kind kind);
    Kind CurrentKind() const { return m_kind; }
    // Forgets the descriptor before it is closed; events still queued for it are dropped.
    void Release();

    void RearmRead(); // after a receive or an accept
    void ArmWrite();  // after a send that could not take everything
    // A connection attempt that failed before it could start waiting.
    void ConnectFailed(int error);
    void Post(int handle, int events, int error);

    const std::shared_ptr<LookupMailbox>& Mailbox() const { return m_mailbox; }

protected:
    bool event(QEvent* e) override;

private:
    void onReadable();
    void onWritable();
    void dropNotifiers();

    SocketEventSink& m_sink;
    std::shared_ptr<LookupMailbox> m_mailbox;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
    int m_handle = -1;
    int m_mask = 0;
    Kind m_kind = Kind::Stream;
    bool m_closeSeen = false;
    quint64 m_generation = 0;
};

} // namespace quorvia::mail
