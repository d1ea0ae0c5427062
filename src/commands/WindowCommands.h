#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"
#include "platform/FileIo.h"

namespace quorvia {

// "Size Of Folder 1" and the "<- Info" button beside folder 1: measures what a
// copy of the folder boxes would move and shows the report. Nothing while busy.
void ReportFolderSize(AppState& state, UserPort& port,
                      platform::FileIo& io = platform::posixFileIo());
// The "<- Info" button beside folder 2: the size report when folder 1 is filled
// in (it states the free space too), else the free space of folder 2.
void ReportFolder2Info(AppState& state, UserPort& port,
                       platform::FileIo& io = platform::posixFileIo());
// "Free Space In Folder 2": the free space where the second box points.
void ReportFreeSpace(AppState& state, UserPort& port,
                     platform::FileIo& io = platform::posixFileIo());

} // namespace quorvia
