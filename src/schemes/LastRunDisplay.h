#pragma once

#include "app/MainView.h"
#include "app/RunState.h"

namespace quorvia {

// Writes the folder, file, error and size counters of the run into the window.
void ShowRunCounters(const RunState& run, MainView& view);
// "Never", "0", "N/A" and an empty size: a scheme that has not run.
void ClearLastRunDisplay(MainView& view);

} // namespace quorvia
