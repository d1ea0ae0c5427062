#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

namespace quorvia {

// Writes the folder, file, error and size counters of the run into the window.
void ShowRunCounters(const RunState& run, UserPort& port);

} // namespace quorvia
