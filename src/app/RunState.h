#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace quorvia {

// Counters and texts of the scheme being run. Byte counts are 64-bit.
struct RunState {
    bool AbortReported = false;
    bool SizeScanMode = false;
    int64_t ByteTotal = 0;
    int64_t BytesNeeded = 0;
    int32_t FolderCount = 0;
    int32_t FilesFound = 0;
    int32_t FilesExamined = 0;
    int32_t FilesCopied = 0;
    int32_t RunErrors = 0;
    QString RunElapsedText;
    QStringList WorkList;

    // Zeroes the per-scheme counters (not BytesNeeded, which outlives a scheme).
    void resetCounters() {
        ByteTotal = 0;
        FolderCount = 0;
        FilesFound = 0;
        FilesExamined = 0;
        FilesCopied = 0;
        RunErrors = 0;
    }
};

} // namespace quorvia
