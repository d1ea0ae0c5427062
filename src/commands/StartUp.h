#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

namespace quorvia {

// The one-shot step after the main window is on screen: settings with the
// install-folder check, the scheme list pointed at the scheme folder, an
// empty last-run display and an empty queue. The window adds its own parts
// (focus, splash, progress window).
void StartUp(AppState& state, UserPort& port);

// Whether the main window may close. While a run is in progress the user is
// asked; Yes stops the run (AbortRequested set, Busy cleared).
bool CloseQuery(AppState& state, Dialogs& dialogs);

} // namespace quorvia
