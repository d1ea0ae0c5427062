#pragma once

#include <QString>
#include <cstdint>

// Drives and free space: a "drive" is a mounted volume.
namespace quorvia::platform {

// Free bytes for the user on the volume holding `path`, measured at the
// nearest folder of the path that exists. Returns 0 or errno.
int freeSpace(const QString& path, int64_t& bytes);

// The drive folder of a path: its mount folder under /media/USER/NAME,
// /run/media/USER/NAME or /mnt/NAME, otherwise its first folder below "/".
QString driveOf(const QString& path);
// Whether a drive folder lies under one of those mount roots, where it only
// stands for its volume while that is mounted there.
bool driveNeedsMount(const QString& drive);
// Whether a folder is the root of a mounted file system (links followed).
bool isMountPoint(const QByteArray& folder);
// The mount folder of the file system that holds `path`, or would hold it
// were it made: that of its nearest existing folder. Empty when unknown.
QString mountFolderOf(const QString& path);

} // namespace quorvia::platform
