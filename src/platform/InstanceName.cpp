#include "platform/InstanceName.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvia::platform {

QString instanceName(const QString& executablePath) {
    QString base = QFileInfo(executablePath).fileName();
    const qsizetype dot = base.lastIndexOf('.');
    if (dot > 0)
        base.truncate(dot);
    if (base.isEmpty())
        return base;
    return base.left(1) + base.mid(1).toLower();
}

QString instanceLockPath(const QString& name) {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return QDir(runtime).filePath(name + ".lock");
}

QString instanceServerName(const QString& name) {
    return instanceLockPath(name).chopped(5) + ".instance";
}

} // namespace quorvia::platform
