#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"
#include "platform/FileIo.h"

#include <QString>

namespace quorvia {

// True when the folder exists or the user agreed to create it and it was made.
bool EnsureFolder(const Settings& settings, Dialogs& dialogs, const QString& path);
// True when the volume ("drive") of the path is there: its folder exists and,
// under the mount roots, is mounted (an unplugged stick leaves its empty folder).
bool CheckDrive(const Settings& settings, Dialogs& dialogs, const QString& path,
                platform::FileIo& io = platform::posixFileIo());
// False, with a message, when the source lies inside its destination or is the
// same folder (links and ".." resolved): a backup would write over its source.
// Refuses a Folder 2 that now lies on another file system than at the
// scheme's last completed run (a share or stick gone, its empty folder left).
bool CheckDestinationVolume(const Settings& settings, Dialogs& dialogs, const QString& schemeFile,
                            const QString& folder2, platform::FileIo& io);

bool CheckFolderPair(const Settings& settings, Dialogs& dialogs, const QString& folder1,
                     const QString& folder2, platform::FileIo& io = platform::posixFileIo());
// 0 when the path holds none of the refused sequences, else the 1-based
// position of the first one found (checked in a fixed order).
int CheckPathChars(const Settings& settings, Dialogs& dialogs, const QString& path);

} // namespace quorvia
