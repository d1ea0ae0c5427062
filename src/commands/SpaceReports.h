#pragma once

#include "app/AppState.h"
#include "commands/RunPresenter.h"
#include "engine/FolderPair.h"
#include "engine/ScanFindings.h"
#include "platform/FileIo.h"

#include <QString>
#include <cstdint>

namespace quorvia {

// The browser's choice: the volume it has selected and the folder it names.
struct BrowserDrive {
    QString drive;
    QString currentFolder;
};

// "Size Of Folder 1" and the "<- Info" buttons: measures what a copy of the
// folder boxes would move (into "/" when folder 2 is blank) and shows the
// size report. Returns the bytes needing a copy.
int64_t ReportSize(AppState& state, UserPort& port, platform::FileIo& io = platform::posixFileIo());

// The free space where the folder 2 box points, shown in a box.
void ReportWindowFreeSpace(AppState& state, UserPort& port,
                           platform::FileIo& io = platform::posixFileIo());
// The free space of the browser's drive, named by its folder.
void ReportBrowserFreeSpace(AppState& state, UserPort& port, const BrowserDrive& browser,
                            platform::FileIo& io = platform::posixFileIo());

// The gate before a scheme: measures what it would copy and compares it with
// the free space of its destination. True when there is room; the messages
// go to `presenter`, the checking window to the window. What the scan found
// up to date goes to `findings`, for the copy that follows.
bool CheckSpaceBeforeRun(AppState& state, MainView& view, RunPresenter& presenter,
                         const FolderPair& pair, platform::FileIo& io = platform::posixFileIo(),
                         ScanFindings* findings = nullptr);

} // namespace quorvia
