#include "platform/InstanceName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

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

QString runtimeFolder(const QString& userFolders) {
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString own = userFolders + '/' + QString::number(getuid());
        struct stat status {};
        if (lstat(QFile::encodeName(own).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
            status.st_uid == getuid() && (status.st_mode & 077) == 0)
            return own;
    }
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString instanceLockPath(const QString& name) {
    return QDir(runtimeFolder()).filePath(name + ".lock");
}

QString instanceServerName(const QString& name) {
    return instanceLockPath(name).chopped(5) + ".instance";
}

} // namespace quorvia::platform
