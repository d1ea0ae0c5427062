#pragma once

#include <cstdint>

namespace quorvia::platform {

// Milliseconds of a monotonic clock, for elapsed times.
int64_t tickCount();

} // namespace quorvia::platform
