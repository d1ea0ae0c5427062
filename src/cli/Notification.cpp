#include "cli/Notification.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>

namespace quorvia::cli {

bool Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface service("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.Notifications", bus);
    if (!service.isValid())
        return false;
    service.setTimeout(2000);
    const QDBusReply<uint> reply = service.call("Notify", "Quorvia", uint(0), "quorvia", summary,
                                                body, QStringList(), QVariantMap(), int(-1));
    return reply.isValid();
}

} // namespace quorvia::cli
