#include "commands/WindowCommands.h"

#include "commands/SchemeCommands.h"
#include "commands/SpaceReports.h"

namespace quorvia {

// A bare drive letter in the folder 2 box gains ":" on the other platform; on
// this one a one-character folder is left as typed.

void ReportFolderSize(AppState& state, UserPort& port, platform::FileIo& io) {
    if (!state.flags.Busy)
        ReportSize(state, port, io);
}

void ReportFolder2Info(AppState& state, UserPort& port, platform::FileIo& io) {
    if (state.flags.Busy)
        return;
    if (ValidateFolders(state.settings, port, FolderMode::First, false))
        ReportSize(state, port, io);
    else
        ReportWindowFreeSpace(state, port, io);
}

void ReportFreeSpace(AppState& state, UserPort& port, platform::FileIo& io) {
    if (!state.flags.Busy)
        ReportWindowFreeSpace(state, port, io);
}

} // namespace quorvia
