#pragma once

#include <QString>

namespace quorvia::platform {

// Moves a file to the desktop's trash; on failure returns false with a reason.
bool moveToTrash(const QString& path, QString* reason = nullptr);

} // namespace quorvia::platform
