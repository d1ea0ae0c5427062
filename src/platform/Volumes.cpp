#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quorvia::platform {

int freeSpace(const QString& path, int64_t& bytes) {
    QString probe = QDir::cleanPath(path.isEmpty() ? QStringLiteral("/") : path);
    if (!probe.startsWith('/'))
        probe = QDir::current().absoluteFilePath(probe);
    for (;;) {
        struct statvfs vfs {};
        const QByteArray native = QFile::encodeName(probe);
        if (statvfs(native.constData(), &vfs) == 0) {
            bytes = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
            return 0;
        }
        const int err = errno;
        if ((err != ENOENT && err != ENOTDIR) || probe == "/")
            return err;
        const int slash = probe.lastIndexOf('/');
        probe = slash <= 0 ? QStringLiteral("/") : probe.left(slash);
    }
}

QString driveOf(const QString& path) {
    const QStringList parts = QDir::cleanPath(path).split('/', Qt::SkipEmptyParts);
    auto prefix = [&](int n) { return "/" + parts.mid(0, n).join('/'); };
    if (parts.size() >= 3 && parts[0] == "media")
        return prefix(3);
    if (parts.size() >= 4 && parts[0] == "run" && parts[1] == "media")
        return prefix(4);
    if (parts.size() >= 2 && parts[0] == "mnt")
        return prefix(2);
    if (parts.isEmpty())
        return QStringLiteral("/");
    return prefix(1);
}

bool driveNeedsMount(const QString& drive) {
    const QStringList parts = QDir::cleanPath(drive).split('/', Qt::SkipEmptyParts);
    return (parts.size() == 3 && parts[0] == "media") ||
           (parts.size() == 4 && parts[0] == "run" && parts[1] == "media") ||
           (parts.size() == 2 && parts[0] == "mnt");
}

bool isMountPoint(const QByteArray& folder) {
    struct statx sx {};
    if (statx(AT_FDCWD, folder.constData(), 0, STATX_INO, &sx) != 0)
        return false;
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return sx.stx_attributes & STATX_ATTR_MOUNT_ROOT; // exact, bind mounts included
    // Older kernels: another device than the parent's, or the root itself.
    struct stat self {
    }, parent{};
    if (stat(folder.constData(), &self) != 0 || stat((folder + "/..").constData(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

QString mountFolderOf(const QString& path) {
    QString probe = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    while (!QFileInfo(probe).isDir() && probe != "/")
        probe = QFileInfo(probe).path();
    const QStorageInfo volume(probe);
    return volume.isValid() ? volume.rootPath() : QString();
}

} // namespace quorvia::platform
