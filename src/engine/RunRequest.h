#pragma once

#include "app/Settings.h"
#include "engine/FolderPair.h"

#include <QString>

namespace quorvia {

enum class RunMode {
    Copy,     // mirror the tree, copying what the options select
    SizeScan, // measure what a copy would move; nothing is made
    Zip,      // pack the source into one archive in Folder 2
};

// The copy options as they stood when the run was asked for.
struct CopyOptions {
    bool onlyNewer = false;
    bool hidden = false;
    bool system = false;
    bool resetArchive = false;

    static CopyOptions of(const Settings& s) {
        return {s.CopyOnlyNewer, s.CopyHidden, s.CopySystem, s.ResetArchiveFlag};
    }
    bool operator==(const CopyOptions&) const = default;
};

class ScanFindings;

// One run: which folders, how, and with what options.
struct RunRequest {
    FolderPair pair;
    RunMode mode = RunMode::Copy;
    CopyOptions options;
    // A scan records here what it found up to date; a copy of the same
    // folders right after it takes that as known.
    ScanFindings* findings = nullptr;
};

} // namespace quorvia
