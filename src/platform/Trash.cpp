#include "platform/Trash.h"

#include <QFile>
#include <cerrno>

namespace quorvia::platform {

int moveToTrash(const QString& path, QString& reason) {
    QFile file(path);
    if (file.moveToTrash())
        return 0;
    reason = file.errorString();
    return EIO;
}

} // namespace quorvia::platform
