#pragma once

#include <QString>

// Where one copy of the program per executable name and user is found: its
// lock and the local socket it listens on, both in the user's runtime folder.
namespace quorvia::platform {

// "quorvia-bin" -> "Quorvia-bin": the file name without folder and extension,
// every character after the first lower-cased.
QString instanceName(const QString& executablePath);
QString instanceLockPath(const QString& name);
QString instanceServerName(const QString& name);

} // namespace quorvia::platform
