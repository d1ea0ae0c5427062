#pragma once

#include "app/UserPort.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "schemes/AppState.h"

#include <QByteArray>
#include <vector>

namespace quorvia {

// The recursive walk of a source tree: mirrors it into the destination in a
// copy run, or measures what would need a copy when run.SizeScanMode is set.
// Paths are bytes, so names that are not valid UTF-8 survive unchanged.
class TreeWalk {
public:
    // The copy loop pumps the window before each step. A step is a run of
    // whole blocks moved inside the kernel; where that cannot be done, a single
    // block through the buffer.
    static constexpr size_t BlockSize = 30720;
    static constexpr size_t StepSize = 32 * BlockSize;

    TreeWalk(AppState& state, UserPort& port, platform::FileIo& io);

    // Walks a whole tree: the source root loses a trailing '/', the destination
    // root gains one.
    void WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot);
    void WalkFolder(const QByteArray& folder, const QByteArray& destinationFolder);
    void CopyOneFile(const QByteArray& source, const QByteArray& destination);
    void MeasureFile(const QByteArray& source, const QByteArray& destination);

private:
    // A name looked up inside an open folder (kWholePath: a whole path,
    // kNoFolder: a destination folder that does not exist).
    struct At {
        int folder;
        const QByteArray& name;
    };

    void handleEntry(const QByteArray& folder, const QByteArray& destinationFolder,
                     const platform::DirEntry& entry, int openSource, int openDestination);
    bool passedOver(const QByteArray& path, bool hidden);
    bool isDestinationRoot(const QByteArray& folder) const;
    void copyLink(const QByteArray& source, const QByteArray& destination);
    void measure(At source, At destination, const QByteArray& folder, const QByteArray& name,
                 bool link);
    bool upToDate(At destination, const platform::FileStatus& source) const;
    // Moves the source's bytes into the copy; false when stopped by an abort or a failure.
    bool copyBytes(int input, int output, const QByteArray& source, const QByteArray& destination,
                   int64_t& copied);

    // The boxes of a failed step; each counts one error.
    void askAbortOrIgnore(const QString& message);
    void openFailed(int error, const QByteArray& source);
    void createFailed(int error, const QByteArray& destination);
    void readFailed(int error, const QByteArray& source);
    void writeFailed(int error, const QByteArray& destination);
    void folderFailed(int error, const QByteArray& folder);
    void reportAbortOnce();
    void fileCopied(const QByteArray& destination, int64_t bytes);

    bool aborted() const { return m_state.flags.AbortRequested; }

    AppState& m_state;
    UserPort& m_port;
    platform::FileIo& m_io;
    std::vector<char> m_buffer;
    platform::FileStatus m_root; // the destination root, not to be walked into itself
    bool m_haveRoot = false;
};

} // namespace quorvia
