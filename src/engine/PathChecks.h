#pragma once

#include "app/RunResult.h"
#include "engine/FolderPair.h"
#include "platform/DestinationLock.h"
#include "platform/FileIo.h"

#include <QString>
#include <memory>

namespace quorvia {

// The drive ("volume") of a path: its folder, and whether it is there. Under
// the mount roots it must be mounted: an unplugged stick leaves its empty folder.
struct DriveCheck {
    QString drive;
    bool present = false;
};
DriveCheck CheckDrive(const QString& path, platform::FileIo& io = platform::posixFileIo());

// Where Folder 1 lies against Folder 2 (links and ".." resolved). A folder that
// cannot be looked at overlaps nothing: the walk reports it.
platform::FolderOverlap CheckFolderPair(const FolderPair& pair,
                                        platform::FileIo& io = platform::posixFileIo());

// Everything that holds a scheme back before anything is written, in the
// order it is looked at: the drives of both folders, their overlap, and the
// file system Folder 2 lay on at the scheme's last completed run (a share or
// stick gone leaves an empty folder on the system disk).
Refusal CheckRunnable(const QString& schemeFile, const FolderPair& pair, platform::FileIo& io);

// One run at a time per destination: the lock, or DestinationBusy.
std::unique_ptr<platform::DestinationLock> LockDestination(const FolderPair& pair, Refusal& refused,
                                                           int waitMs = 0);

// After a completed run: the file system Folder 2 now lies on.
void RememberDestination(const QString& schemeFile, const FolderPair& pair, platform::FileIo& io);

// 0 when the path holds none of the refused sequences, else the 1-based
// position of the first one found (checked in a fixed order).
int CheckPathChars(const QString& path);

// Free bytes where a folder lies (its nearest existing folder); 0 when the
// query fails or tells none.
int64_t FreeBytes(const QString& folder, platform::FileIo& io = platform::posixFileIo());

} // namespace quorvia
