#pragma once

#include <QByteArray>
#include <QList>

// Drives and the process's working folder, for the folder tree control.
namespace quorvia::platform {

// Root folders of the mounted volumes that are ready, as native bytes without a
// trailing '/' (except "/" itself). A "drive" is one of these.
QList<QByteArray> mountedDrives();

// The process's working folder as native bytes; empty when it cannot be read
// (for instance when it was removed).
QByteArray workingFolder();
// Makes `folder` the working folder. Returns 0 or errno.
int setWorkingFolder(const QByteArray& folder);

} // namespace quorvia::platform
