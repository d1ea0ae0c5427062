#pragma once

#include "engine/RunRequest.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quorvia {

// A path's key in what a scan found.
struct ScanKey {
    uint64_t a = 0;
    uint64_t b = 0;
    auto operator<=>(const ScanKey&) const = default;
};

// What the space check's scan found up to date, kept for the copy that follows
// it in the same run: the copy leaves those files alone instead of looking at
// each of them again. A file that changes between the two is copied by the
// next run, as one that changes after the run is. Files are known by a hash
// of their path below the source root, sixteen bytes each: two files that
// shared a key would leave one uncopied, so the key is too wide for that.
class ScanFindings {
public:
    using Key = ScanKey;
    // The source root's folder key, and the key of a folder inside another.
    static constexpr Key Root{};
    static Key folderKey(Key parent, const QByteArray& name);

    // A scan of `request` starts: what an earlier one found goes.
    void start(const RunRequest& request);
    void addUpToDate(Key folder, const QByteArray& name);
    // The scan is over (whole or aborted): what it found can be used.
    void finish();

    // Whether a finished scan of the same folders, with the same options,
    // found the file up to date.
    bool appliesTo(const RunRequest& request) const;
    bool upToDate(Key folder, const QByteArray& name) const;

private:
    FolderPair m_pair;
    CopyOptions m_options;
    bool m_finished = false;
    std::vector<Key> m_upToDate; // sorted when finished
};

} // namespace quorvia
