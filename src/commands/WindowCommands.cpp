#include "commands/WindowCommands.h"

#include "commands/SchemeCommands.h"
#include "engine/SpaceCheck.h"

namespace quorvia {

// A bare drive letter in the folder 2 box gains ":" on the other platform; on
// this one a one-character folder is left as typed.

void ReportFolderSize(AppState& state, UserPort& port, platform::FileIo& io) {
    if (!state.flags.Busy)
        ScanSize(state, port, true, true, io);
}

void ReportFolder2Info(AppState& state, UserPort& port, platform::FileIo& io) {
    if (state.flags.Busy)
        return;
    if (ValidateFolders(state.settings, port, FolderMode::First, false))
        ScanSize(state, port, true, true, io);
    else
        QueryFreeSpace(state, port, true, SpaceSource::Window, {}, io);
}

void ReportFreeSpace(AppState& state, UserPort& port, platform::FileIo& io) {
    if (!state.flags.Busy)
        QueryFreeSpace(state, port, true, SpaceSource::Window, {}, io);
}

} // namespace quorvia
