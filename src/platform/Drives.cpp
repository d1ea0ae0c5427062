#include "platform/Drives.h"

#include <QFile>
#include <QStorageInfo>
#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace quorvia::platform {

QList<QByteArray> mountedDrives() {
    QList<QByteArray> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        QByteArray root = QFile::encodeName(volume.rootPath());
        while (root.size() > 1 && root.endsWith('/'))
            root.chop(1);
        if (!root.isEmpty() && !roots.contains(root))
            roots.append(root);
    }
    return roots;
}

QByteArray workingFolder() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return QByteArray(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

int setWorkingFolder(const QByteArray& folder) {
    if (folder.isEmpty())
        return ENOENT;
    return chdir(folder.constData()) == 0 ? 0 : errno;
}

} // namespace quorvia::platform
