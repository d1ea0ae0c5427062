#pragma once

#include "engine/RunRequest.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quorvia {

// What the space check's scan found up to date, kept for the copy that follows
// it in the same run: the copy leaves those files alone instead of looking at
// each of them again. A file that changes between the two is copied by the
// next run, as one that changes after the run is. Files are known by a hash
// of their path below the source root, eight bytes each.
class ScanFindings {
public:
    // The source root's folder key, and the key of a folder inside another.
    static constexpr uint64_t Root = 0;
    static uint64_t folderKey(uint64_t parent, const QByteArray& name);

    // A scan of `request` starts: what an earlier one found goes.
    void start(const RunRequest& request);
    void addUpToDate(uint64_t folder, const QByteArray& name);
    // The scan is over (whole or aborted): what it found can be used.
    void finish();

    // Whether a finished scan of the same folders, with the same options,
    // found the file up to date.
    bool appliesTo(const RunRequest& request) const;
    bool upToDate(uint64_t folder, const QByteArray& name) const;

private:
    FolderPair m_pair;
    CopyOptions m_options;
    bool m_finished = false;
    std::vector<uint64_t> m_upToDate; // sorted when finished
};

} // namespace quorvia
