#pragma once

#include <QString>

namespace quorvia::platform {

// Moves a file to the desktop's trash. Returns 0, or EIO with the reason.
int moveToTrash(const QString& path, QString& reason);

} // namespace quorvia::platform
