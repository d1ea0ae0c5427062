#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"
#include "engine/FolderPair.h"
#include "platform/FileIo.h"

#include <QString>

// The folder checks of the commands, each with its message when it fails.
namespace quorvia {

// No doubled separator and none of the characters a folder name may not hold.
bool PathCharsAcceptable(const Settings& settings, Dialogs& dialogs, const QString& path);
// The drive of the path is there (under the mount roots: mounted).
bool DrivePresent(const Settings& settings, Dialogs& dialogs, const QString& path,
                  platform::FileIo& io = platform::posixFileIo());
// Folder 1 is neither Folder 2 nor inside it.
bool FolderPairAcceptable(const Settings& settings, Dialogs& dialogs, const FolderPair& pair,
                          platform::FileIo& io = platform::posixFileIo());
// True when the folder exists or the user agreed to create it and it was made.
bool EnsureFolder(const Settings& settings, Dialogs& dialogs, const QString& path);

} // namespace quorvia
