#pragma once

#include "app/UserPort.h"
#include "engine/DestinationCase.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "schemes/AppState.h"

#include <QByteArray>
#include <cerrno>
#include <vector>

namespace quorvia {

// The recursive walk of a source tree: mirrors it into the destination in a
// copy run, or measures what would need a copy when run.SizeScanMode is set.
// Paths are bytes, so names that are not valid UTF-8 survive unchanged.
//
// Below the two roots every name is looked up inside its open folder, and a
// link is never followed on either side: a link or file at the destination
// where the source has a folder is replaced or reported, never written through.
class TreeWalk {
public:
    // The copy loop pumps the window before each step. A step is a run of
    // whole blocks moved inside the kernel; where that cannot be done, a single
    // block through the buffer.
    static constexpr size_t BlockSize = 30720;
    static constexpr size_t StepSize = 32 * BlockSize;
    // The code shown for a source that changed while it was copied, twice: the
    // file is in use by another program.
    static constexpr int ChangedWhileCopied = EBUSY;
    // The code shown for a name that the destination cannot tell from another.
    static constexpr int NameTaken = EEXIST;
    // How often the caption's percentage moves while one large file is copied.
    static constexpr int64_t ProgressIntervalMs = 250;

    TreeWalk(AppState& state, UserPort& port, platform::FileIo& io);

    // Walks a whole tree: the source root loses a trailing '/', the destination
    // root gains one.
    void WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot);

private:
    struct Temporary;

    // The destination side of one folder.
    struct Destination {
        QByteArray path;              // the root ends in '/'
        int fd = platform::kNoFolder; // open for look-ups, or kNoFolder
        int error = ENOENT;           // why there is none
        bool fresh = false;           // made by this run: nothing stale in it
    };
    // One folder being walked: the source listed, the destination beside it.
    struct Folder {
        QByteArray source; // full path, for messages
        int sourceFd = -1;
        const Destination& destination;
        FolderNames& names; // empty in a size scan
    };

    // `sourceParent` is kWholePath for the root, named by its path.
    void WalkFolder(int sourceParent, const QByteArray& sourceName, const QByteArray& source,
                    const Destination& destination);
    void handleEntry(const Folder& folder, const platform::DirEntry& entry);
    void enterFolder(const Folder& folder, const QByteArray& name);
    // Makes or checks the destination folder of a source folder; false when
    // the folder is not to be walked (reported).
    bool prepareFolder(const Folder& folder, const QByteArray& name, Destination& destination);
    void removeStaleTemporaries(const Folder& folder);
    void CopyOneFile(const Folder& folder, const QByteArray& name);
    void copyLink(const Folder& folder, const QByteArray& name);
    void measure(const Folder& folder, const QByteArray& name, bool link);

    // Passed over by CopyHidden or CopySystem.
    bool filteredOut(const Folder& folder, const QByteArray& name);
    bool isDestinationRoot(const Folder& folder, const QByteArray& name) const;
    bool openSource(const Folder& folder, const QByteArray& name, int& fd,
                    platform::FileStatus& status);
    // A name whose entry at the destination is another name's: reported.
    bool clashReported(const Folder& folder, const QByteArray& name);
    // Moves the source's bytes into the copy, holes kept; false when stopped
    // by an abort or a failure (reported). `size` is the copy's length.
    bool copyBytes(const Folder& folder, const QByteArray& name, int input, int output,
                   const platform::FileStatus& status, int64_t& size);
    // The look-up before a copy: false when the file is up to date or cannot
    // be copied there (reported). `missing` when nothing has the name.
    bool destinationAllowsCopy(const Folder& folder, const QByteArray& name,
                               const platform::FileStatus& source, bool& missing);
    bool sourceChanged(const Folder& folder, const QByteArray& name, int input,
                       const platform::FileStatus& before);
    // Attributes, time and the move into place; false when reported.
    bool finishCopy(const Folder& folder, const QByteArray& name, Temporary& copy,
                    const platform::FileStatus& source, uint32_t dosBits, int64_t size);

    // The boxes of a failed step; each counts one error.
    void askAbortOrIgnore(const QString& message);
    void openFailed(int error, const QByteArray& source);
    void createFailed(int error, const QByteArray& destination);
    void readFailed(int error, const QByteArray& source);
    void writeFailed(int error, const QByteArray& destination);
    void folderFailed(int error, const QByteArray& folder);
    // What the destination does not keep of a finished copy, told once a walk.
    enum NotKept : unsigned { Permissions = 1, FileTimes = 2, DosAttributes = 4 };
    void notKept(NotKept what, int error, const QByteArray& destination);
    void reportNotKept();
    bool rootUsable(const Destination& root);
    void reportAbortOnce();
    void fileCopied(const QByteArray& destination, int64_t bytes);

    bool aborted() const { return m_state.flags.AbortRequested; }

    AppState& m_state;
    UserPort& m_port;
    platform::FileIo& m_io;
    std::vector<char> m_buffer;
    platform::FileStatus m_root; // the destination root, not to be walked into itself
    bool m_haveRoot = false;
    int64_t m_captionShownAt = 0; // tick of the last percentage shown
    DestinationCase m_case = DestinationCase::Sensitive;
    unsigned m_notKept = 0;    // NotKept bits met in this walk
    QByteArray m_notKeptFirst; // the first copy that showed one
    int m_notKeptError = 0;
    bool m_unnamedRefused = false; // the destination cannot make files without a name
};

} // namespace quorvia
