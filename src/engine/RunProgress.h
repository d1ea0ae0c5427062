#pragma once

#include "app/MainView.h"
#include "schemes/AppState.h"

namespace quorvia {

// Title and caption from the queue length and, when a size is known, the
// percentage done: "Quorvia (A) - 2 - 45%".
void UpdateProgressCaption(const AppState& state, MainView& view);
// The progress window for a size scan, captioned "Quorvia - Checking".
void ShowCheckingWindow(MainView& view);

} // namespace quorvia
