#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <sys/stat.h>
#include <vector>

namespace quorvia {

// The recursive walk of a source tree: mirrors it into the destination in a
// copy run, or measures what would need a copy when run.SizeScanMode is set.
// Paths are bytes, so names that are not valid UTF-8 survive unchanged.
class TreeWalk {
public:
    static constexpr size_t BlockSize = 30720;

    TreeWalk(AppState& state, UserPort& port, platform::FileIo& io);

    // Walks a whole tree: the source root loses a trailing '/', the destination
    // root gains one.
    void WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot);
    void WalkFolder(const QByteArray& folder, const QByteArray& destinationFolder);
    void CopyOneFile(const QByteArray& source, const QByteArray& destination);
    void MeasureFile(const QByteArray& source, const QByteArray& destination);

private:
    void handleEntry(const QByteArray& folder, const QByteArray& destinationFolder,
                     const platform::DirEntry& entry);
    bool passedOver(const QByteArray& path, bool hidden);
    bool isDestinationRoot(const QByteArray& folder) const;
    void copyLink(const QByteArray& source, const QByteArray& destination);
    void measureLink(const QByteArray& source, const QByteArray& destination);
    bool upToDate(const QByteArray& destination, const struct stat& source) const;

    // The boxes of a failed step; each counts one error.
    void askAbortOrIgnore(const QString& message);
    void openFailed(int error, const QByteArray& source);
    void createFailed(int error, const QByteArray& destination);
    void readFailed(int error, const QByteArray& source);
    void writeFailed(int error, const QByteArray& destination);
    void folderFailed(int error, const QByteArray& folder);
    void reportAbortOnce();
    void fileCopied(const QByteArray& destination, int64_t bytes);

    bool aborted() const { return state_.flags.AbortRequested; }

    AppState& state_;
    UserPort& port_;
    platform::FileIo& io_;
    std::vector<char> buffer_;
    dev_t rootDevice_ = 0;
    ino_t rootInode_ = 0;
    bool haveRoot_ = false;
};

} // namespace quorvia
