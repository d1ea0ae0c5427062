#pragma once

namespace quorvia::mail {

// Handles the calling thread's pending events. When none is pending it sleeps
// until one arrives or maxWaitMs have passed (0: never sleeps), so the nested
// waits of the mail stack do not spin a core.
void PumpEvents(int maxWaitMs);

} // namespace quorvia::mail
