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
// Where the program keeps what it learns from runs ($XDG_STATE_HOME/Quorvia/,
// by default ~/.local/state/Quorvia/), created on demand; with a trailing '/'.
QString stateFolder();

} // namespace quorvia::platform
