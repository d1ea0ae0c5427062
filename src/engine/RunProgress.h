#pragma once

#include "app/MainView.h"
#include "schemes/AppState.h"

namespace quorvia {

// Title and caption from the queue length and, when a size is known, the
// percentage done: "Quorvia (A) - 2 - 45%". `inFlight` counts the bytes of
// a file still being copied, so that a large file moves the percentage too.
void UpdateProgressCaption(const AppState& state, MainView& view, int64_t inFlight = 0);
// The progress window for a size scan, captioned "Quorvia - Checking".
void ShowCheckingWindow(MainView& view);

} // namespace quorvia
