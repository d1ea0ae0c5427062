#pragma once

#include <QString>

namespace quorvia::platform {

// The executable's folder when the user can write it (a portable install or
// the build folder), else the per-user data folder; always with a trailing '/'.
QString programFolder();
// The same rule for a given executable folder (for tests).
QString programFolderFor(const QString& executableFolder);

} // namespace quorvia::platform
