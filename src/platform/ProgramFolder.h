#pragma once

#include <QString>

namespace quorvia::platform {

// A file of this name beside the executable marks a portable install.
inline constexpr const char* kPortableMarker = "Quorvia.portable";

// The executable's folder for a portable install the user can write, else
// the per-user data folder ($XDG_DATA_HOME/Quorvia/); always with a trailing '/'.
QString programFolder();
// The same rule for a given executable folder (for tests).
QString programFolderFor(const QString& executableFolder);

} // namespace quorvia::platform
