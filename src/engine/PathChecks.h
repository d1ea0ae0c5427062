#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QString>

namespace quorvia {

// True when the folder exists or the user agreed to create it and it was made.
bool EnsureFolder(const Settings& settings, Dialogs& dialogs, const QString& path);
// True when the volume ("drive") of the path is there.
bool CheckDrive(const Settings& settings, Dialogs& dialogs, const QString& path);
// 0 when the path holds none of the refused sequences, else the 1-based
// position of the first one found (checked in a fixed order).
int CheckPathChars(const Settings& settings, Dialogs& dialogs, const QString& path);

} // namespace quorvia
