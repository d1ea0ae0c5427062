#pragma once

#include "app/RunResult.h"

#include <QString>
#include <cstdint>

namespace quorvia {

// The scheme being run, or the last one: its result as the windows show it,
// the size of the latest scan and the elapsed time. Byte counts are 64-bit.
struct RunState : RunResult {
    int64_t BytesNeeded = 0; // outlives a scheme: the base of the percentage
    QString RunElapsedText;

    // A new scheme: counters, work list and flags of the last one cleared.
    void resetForScheme() {
        resetCounters();
        WorkList.clear();
        aborted = false;
        refused = {};
        notKept = {};
    }
};

} // namespace quorvia
