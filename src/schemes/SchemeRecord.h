#pragma once

#include <QString>
#include <cstdint>

namespace quorvia {

// One scheme in memory, and one slot of the run queue.
struct SchemeRecord {
    QString SchemeFile;  // full path of the .sch file; empty in a free slot
    QString Folder1;     // source
    QString Folder2;     // destination
    int32_t RunMode = 0; // 0 copied, 99 zipped

    static constexpr int32_t Copied = 0;
    static constexpr int32_t Zipped = 99;
};

} // namespace quorvia
