#pragma once

#include "app/Settings.h"
#include "app/UserPort.h"

#include <QString>

namespace quorvia {

// True when the folder exists or the user agreed to create it and it was made.
bool EnsureFolder(const Settings& settings, UserPort& port, const QString& path);
// True when the volume ("drive") of the path is there.
bool CheckDrive(const Settings& settings, UserPort& port, const QString& path);
// 0 when the path holds none of the refused sequences, else the 1-based
// position of the first one found (checked in a fixed order).
int CheckPathChars(const Settings& settings, UserPort& port, const QString& path);

} // namespace quorvia
