#pragma once

#include <QString>
#include <cstdint>

namespace quorvia {

// One scheme in memory, and one slot of the run queue.
struct SchemeRecord {
    QString SchemeFile; // full path of the .sch file; empty in a free slot
    QString Folder1;    // source
    QString Folder2;    // destination
    // How the scheme last ran; the numbers are those the scheme file holds.
    enum Mode : int32_t { Copied = 0, Zipped = 99 };
    Mode RunMode = Copied;
};

} // namespace quorvia
