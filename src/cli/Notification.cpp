#include "cli/Notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace quorvia::cli {

bool Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage notify = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                         "/org/freedesktop/Notifications",
                                                         "org.freedesktop.Notifications", "Notify");
    notify << "Quorvia" << uint(0) << "quorvia" << summary << body << QStringList() << QVariantMap()
           << int(-1);
    // The bus may start the service for this call: it is given a moment.
    return bus.call(notify, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

} // namespace quorvia::cli
