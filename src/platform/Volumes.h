#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Drives and free space: a "drive" is a mounted volume.
namespace quorvia::platform {

// Free bytes for the user on the volume holding `path`, measured at the
// nearest folder of the path that exists; nullopt (with errno in *error) on failure.
std::optional<int64_t> freeSpace(const QString& path, int* error = nullptr);

// The drive folder of a path: its mount folder under /media/USER/NAME,
// /run/media/USER/NAME or /mnt/NAME, otherwise its first folder below "/".
QString driveOf(const QString& path);
bool drivePresent(const QString& drive);

} // namespace quorvia::platform
