#include "app/SchemeQueue.h"

namespace quorvia {

void AdvanceQueue(SchemeQueue& queue) {
    --queue.QueueLast;
    if (queue.QueueLast >= 0) {
        for (int i = 0; i < SchemeQueue::Capacity; ++i)
            queue.slots[i] = queue.slots[i + 1];
    }
}

void ClearQueue(SchemeQueue& queue) {
    for (auto& slot : queue.slots) {
        slot.SchemeFile.clear();
        slot.Folder1.clear();
        slot.Folder2.clear();
    }
    queue.QueueLast = -1;
}

} // namespace quorvia
