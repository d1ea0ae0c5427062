#pragma once

#include "app/UserPort.h"
#include "platform/FileIo.h"
#include "schemes/AppState.h"

#include <QString>
#include <cstdint>

namespace quorvia {

// Where a free-space query takes its folder from.
enum class SpaceSource { Queue, Window, Browser };

// The browser's choice: the volume it has selected and the folder it names.
struct BrowserDrive {
    QString drive;
    QString currentFolder;
};

// A folder for a message, in its own case: "abc...<last 19>" when longer than 18.
QString FolderDisplayText(const QString& folder);

// The size report. `freeBytes` is only shown when folder 2 is not blank.
QString SizeReport(const RunState& run, bool aborted, const QString& folder1,
                   const QString& folder2, int64_t freeBytes);

// Measures what a copy of folder 1 into folder 2 would transfer: from the
// window's folder boxes, or from queue slot 0. Returns the bytes needing a copy.
int64_t ScanSize(AppState& state, UserPort& port, bool showReport, bool fromWindow,
                 platform::FileIo& io = platform::posixFileIo());

// Free bytes at the destination; with `showMessage` it is shown and 0 returned.
int64_t QueryFreeSpace(AppState& state, UserPort& port, bool showMessage, SpaceSource source,
                       const BrowserDrive& browser = {},
                       platform::FileIo& io = platform::posixFileIo());

// The gate before a copy: true when the destination of slot 0 has room.
bool CheckSpaceBeforeRun(AppState& state, UserPort& port,
                         platform::FileIo& io = platform::posixFileIo());

} // namespace quorvia
