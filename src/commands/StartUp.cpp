#include "commands/StartUp.h"

#include "app/SettingsLoader.h"
#include "platform/ProgramFolder.h"
#include "schemes/LastRunDisplay.h"

namespace quorvia {

void StartUp(AppState& state, UserPort& port) {
    if (state.ProgramFolder.isEmpty())
        state.ProgramFolder = platform::programFolder();
    LoadSettings(state.settings, port.dialogs, state.ProgramFolder);
    state.schemeList.setFolder(SchemeFolderInUse(state.settings, state.ProgramFolder));
    ClearLastRunDisplay(port.view);
    ClearQueue(state.queue);
    state.flags.Busy = false;
}

bool CloseQuery(AppState& state, Dialogs& dialogs) {
    if (!state.flags.Busy)
        return true;
    if (!dialogs.confirm("Action In Process, Quit Anyway", 0))
        return false;
    state.flags.AbortRequested = true;
    state.flags.Busy = false;
    return true;
}

} // namespace quorvia
