#include "platform/Trash.h"

#include <QFile>

namespace quorvia::platform {

bool moveToTrash(const QString& path, QString* reason) {
    QFile file(path);
    if (file.moveToTrash())
        return true;
    if (reason)
        *reason = file.errorString();
    return false;
}

} // namespace quorvia::platform
