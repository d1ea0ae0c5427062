#pragma once

#include <QEvent>
#include <QObject>
#include <QStringList>
#include <memory>
#include <mutex>

namespace quorvia::mail {

// Where a background lookup delivers its result. The receiver detaches itself
// before it goes away; a lookup that finishes later is then dropped.
class LookupMailbox {
public:
    explicit LookupMailbox(QObject* receiver) : m_receiver(receiver) {}
    void Detach();
    // Posts the event to the receiver, or deletes it when there is none.
    void Deliver(QEvent* event);

private:
    std::mutex m_mutex;
    QObject* m_receiver;
};

// The completion of a lookup as it arrives in the receiver's thread.
class LookupDoneEvent : public QEvent {
public:
    static QEvent::Type Type();
    LookupDoneEvent(quint64 request, int error, QStringList addresses)
        : QEvent(Type()), Request(request), Error(error), Addresses(std::move(addresses)) {}
    quint64 Request;
    int Error;
    QStringList Addresses;
};

// Starts looking a host name up on a worker thread; returns the request number
// (never 0). Throws std::system_error when no thread can be started.
quint64 StartHostLookup(const std::shared_ptr<LookupMailbox>& mailbox, const QString& name);

} // namespace quorvia::mail
