#include "platform/Clock.h"

#include <ctime>

namespace quorvia::platform {

int64_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace quorvia::platform
