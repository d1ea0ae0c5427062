#pragma once

#include "app/WorkList.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace quorvia {

// Why a scheme did not run: found before anything was written.
struct Refusal {
    enum Kind {
        None,
        DriveMissing,            // `path`: the drive folder
        SameFolder,              // Folder 1 and Folder 2 are one folder
        SourceInsideDestination, // a backup would write over its own source
        DestinationMoved,        // Folder 2 lies on `path`, not on `other` as at its last run
        DestinationBusy,         // another run writes Folder 2
        NotEnoughRoom,           // `needed` bytes, `free` there
        FolderNotMade,           // the archive's folder is missing and was not made
        NoPassword,              // a password-protected zip without its password
        DestinationUnusable,     // Folder 2 itself cannot be made or opened (`error`)
    };
    Kind kind = None;
    QString path;
    QString other;
    int error = 0;
    int64_t needed = 0;
    int64_t free = 0;

    Refusal() = default;
    explicit Refusal(Kind why, QString path_ = {}, QString other_ = {})
        : kind(why), path(std::move(path_)), other(std::move(other_)) {}
    explicit operator bool() const { return kind != None; }
};

// What a destination did not keep of finished copies, said once a run.
struct NotKept {
    enum What : unsigned { Permissions = 1, FileTimes = 2, DosAttributes = 4 };
    unsigned what = 0;
    QByteArray first; // the first copy that showed it
    int error = 0;    // errno of that first failure; 0 when the value did not stick
};

// What one run of a scheme (or one size scan) did: filled by the engine as it
// goes, so that the window can show it while the run lasts.
struct RunResult {
    int64_t ByteTotal = 0;     // bytes copied or zipped; in a scan, bytes needing a copy
    int32_t FolderCount = 0;   // folders visited, the start folder included
    int32_t FilesFound = 0;    // scan: files needing a copy
    int32_t FilesExamined = 0; // scan: files looked at
    int32_t FilesCopied = 0;   // copied, or added to the archive
    int32_t RunErrors = 0;
    quorvia::WorkList WorkList;
    bool aborted = false;
    Refusal refused;
    NotKept notKept;

    // Zeroes the counters of a new scheme or scan.
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
