#pragma once

#include "app/SchemeRecord.h"

#include <array>

namespace quorvia {

// Five usable slots; slot 5 always stays empty so that it can be copied down.
struct SchemeQueue {
    static constexpr int Capacity = 5;
    std::array<SchemeRecord, 6> slots;
    int QueueLast = -1; // index of the last used slot, -1 when empty

    int count() const { return QueueLast + 1; }
    bool empty() const { return QueueLast < 0; }
};

// Drops the head after a run; slot 0 keeps the finished scheme when the queue empties.
void AdvanceQueue(SchemeQueue& queue);
// Empties every slot's names and folders.
void ClearQueue(SchemeQueue& queue);

} // namespace quorvia
