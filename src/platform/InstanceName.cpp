#include "platform/InstanceName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <pwd.h>
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

namespace {

// A folder of this user's that no one else may enter.
bool privateFolder(const QString& path) {
    struct stat status {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == getuid() && (status.st_mode & 077) == 0;
}

} // namespace

QString runtimeFolder(const QString& userFolders) {
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString own = userFolders + '/' + QString::number(getuid());
        if (privateFolder(own))
            return own;
        // Qt's own fallback (the window of an earlier version used it), made
        // here so that an unattended run does not print Qt's warning every time.
        const passwd* user = getpwuid(getuid());
        const QString fallback =
            QDir::tempPath() + "/runtime-" +
            (user ? QFile::decodeName(user->pw_name) : QString::number(getuid()));
        ::mkdir(QFile::encodeName(fallback).constData(), 0700);
        if (privateFolder(fallback))
            return fallback;
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
