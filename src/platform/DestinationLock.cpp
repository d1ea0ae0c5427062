#include "platform/DestinationLock.h"

#include "platform/InstanceName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace quorvia::platform {

QString realDestinationPath(const QString& destination) {
    QString rest;
    QString probe = QDir::cleanPath(QDir::current().absoluteFilePath(destination));
    for (;;) {
        const QString real = QFileInfo(probe).canonicalFilePath();
        if (!real.isEmpty())
            return QDir::cleanPath(real + rest);
        const qsizetype slash = probe.lastIndexOf('/');
        if (slash <= 0)
            return QDir::cleanPath(probe + rest);
        rest.prepend(probe.mid(slash));
        probe.truncate(slash);
    }
}

DestinationLock::DestinationLock(const QString& destination) {
    const QString folder = runtimeFolder();
    const QByteArray hash = QCryptographicHash::hash(realDestinationPath(destination).toUtf8(),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(32);
    m_path = folder + "/quorvia-destination-" + QString::fromLatin1(hash) + ".lock";
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
}

DestinationLock::~DestinationLock() = default;

bool DestinationLock::tryLock(int waitMs) {
    return m_lock->isLocked() || m_lock->tryLock(waitMs);
}

} // namespace quorvia::platform
