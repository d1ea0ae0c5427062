#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

namespace quorvia {

// Title and caption from the queue length and, when a size is known, the
// percentage done: "Quorvia (A) - 2 - 45%".
void UpdateProgressCaption(const AppState& state, UserPort& port);
// The progress window for a size scan, captioned "Quorvia - Checking".
void ShowCheckingWindow(UserPort& port);

} // namespace quorvia
