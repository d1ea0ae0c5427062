#pragma once

#include <QString>

// Where one copy of the program per executable name and user is found: its
// lock and the local socket it listens on, both in the user's runtime folder.
namespace quorvia::platform {

// "quorvia-bin" -> "Quorvia-bin": the file name without folder and extension,
// every character after the first lower-cased.
QString instanceName(const QString& executablePath);
QString instanceLockPath(const QString& name);
// The user's runtime folder, the same for a run from cron (which sets no
// XDG_RUNTIME_DIR) as for the window, so that they find each other's locks
// and socket: XDG_RUNTIME_DIR, else <userFolders>/<uid> when that is the
// user's own, else a private folder in the temporary folder.
QString runtimeFolder(const QString& userFolders = QStringLiteral("/run/user"));
QString instanceServerName(const QString& name);

} // namespace quorvia::platform
