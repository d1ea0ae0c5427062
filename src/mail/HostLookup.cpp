#include "mail/HostLookup.h"

#include "mail/NetDb.h"

#include <QCoreApplication>
#include <atomic>
#include <thread>

namespace quorvia::mail {

void LookupMailbox::Detach() {
    std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

void LookupMailbox::Deliver(QEvent* event) {
    std::lock_guard lock(m_mutex);
    if (m_receiver)
        QCoreApplication::postEvent(m_receiver, event);
    else
        delete event;
}

QEvent::Type LookupDoneEvent::Type() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

quint64 StartHostLookup(const std::shared_ptr<LookupMailbox>& mailbox, const QString& name) {
    static std::atomic<quint64> lastRequest{0};
    const quint64 request = ++lastRequest;
    // The resolver cannot be interrupted, so the thread is left to finish on its
    // own; it holds the mailbox, never the component.
    std::thread([mailbox, name, request] {
        QStringList addresses;
        const int error = LookupHost(name, addresses);
        if (error != 0)
            addresses.clear();
        mailbox->Deliver(new LookupDoneEvent(request, error, addresses));
    }).detach();
    return request;
}

} // namespace quorvia::mail
