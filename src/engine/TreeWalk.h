#pragma once

#include "app/RunResult.h"
#include "engine/DestinationCase.h"
#include "engine/RunObserver.h"
#include "engine/RunRequest.h"
#include "engine/ScanFindings.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace quorvia {

// Walks the source tree of a request: mirrors it into the destination in a
// copy run, or measures what would need a copy in a size scan. Fills `result`
// as it goes; problems and progress go to `observer`.
void WalkTree(const RunRequest& request, RunResult& result, RunObserver& observer,
              platform::FileIo& io = platform::posixFileIo());

// The walk itself. Paths are bytes, so names that are not valid UTF-8 survive
// unchanged. Below the two roots every name is looked up inside its open
// folder, and a link is never followed on either side: a link or file at the
// destination where the source has a folder is replaced or reported, never
// written through.
class TreeWalk {
public:
    // The copy buffer, where the kernel cannot copy by itself.
    static constexpr size_t BlockSize = 30720;
    // A kernel copy step is sized by time: it starts at one block and grows
    // while a step takes well under StepTargetMs, so that the window is
    // pumped about that often on a slow stick and rarely on a fast disk.
    static constexpr size_t MaxStepSize = 256 * BlockSize;
    static constexpr int64_t StepTargetMs = 20;
    // The code shown for a source that changed while it was copied, twice: the
    // file is in use by another program.
    static constexpr int ChangedWhileCopied = EBUSY;
    // The code shown for a name that the destination cannot tell from another.
    static constexpr int NameTaken = EEXIST;

    TreeWalk(const RunRequest& request, RunResult& result, RunObserver& observer,
             platform::FileIo& io);
    void run();

private:
    struct Temporary;

    // The destination side of one folder.
    struct Destination {
        QByteArray path;              // the root ends in '/'
        int fd = platform::kNoFolder; // open for look-ups, or kNoFolder
        int error = ENOENT;           // why there is none
        bool fresh = false;           // made by this run: nothing stale in it
        int listed = -1;              // its entry in the work list
    };
    // One folder being walked: the source listed, the destination beside it.
    struct Folder {
        QByteArray source; // full path, for messages
        int sourceFd = -1;
        const Destination& destination;
        FolderNames& names;    // says nothing in a size scan
        ScanFindings::Key key; // its path's, for what a scan found
    };

    // `sourceParent` is kWholePath for the root, named by its path.
    void WalkFolder(int sourceParent, const QByteArray& sourceName, const QByteArray& source,
                    Destination& destination, const QByteArray& listedName, int listedParent,
                    ScanFindings::Key key);
    // The observer's pump, when its interval has passed.
    void pumpWhenDue();
    void handleEntry(const Folder& folder, const platform::DirEntry& entry);
    void enterFolder(const Folder& folder, const QByteArray& name);
    // Makes or checks the destination folder of a source folder; false when
    // the folder is not to be walked (reported).
    bool prepareFolder(const Folder& folder, const QByteArray& name, Destination& destination);
    void removeStaleTemporaries(const Folder& folder);
    void CopyOneFile(const Folder& folder, const QByteArray& name);
    void copyLink(const Folder& folder, const QByteArray& name);
    void measure(const Folder& folder, const QByteArray& name, bool link);

    // Passed over by the hidden or system option.
    bool filteredOut(const Folder& folder, const QByteArray& name);
    bool isDestinationRoot(const Folder& folder, const QByteArray& name) const;
    bool openSource(const Folder& folder, const QByteArray& name, int& fd,
                    platform::FileStatus& status);
    // Whether the file is up to date, by the status of both sides alone, or
    // as the scan before this copy found it. `looked` (and `missing`) when the
    // destination was asked and what it said still holds.
    bool upToDate(const Folder& folder, const QByteArray& name, bool& looked, bool& missing);
    // A name whose entry at the destination is another name's: reported.
    bool clashReported(const Folder& folder, const QByteArray& name);
    // Moves the source's bytes into the copy, holes kept; false when stopped
    // by an abort or a failure (reported). `size` is the copy's length.
    bool copyBytes(const Folder& folder, const QByteArray& name, int input, int output,
                   const platform::FileStatus& status, int64_t& size);
    // One kernel copy step of at most `limit` bytes, timed to size the next.
    int kernelStep(int input, int output, int64_t limit, size_t& got);
    // The look-up before a copy: false when the file is up to date or cannot
    // be copied there (reported). `missing` when nothing has the name.
    bool destinationAllowsCopy(const Folder& folder, const QByteArray& name,
                               const platform::FileStatus& source, bool& missing);
    bool sourceChanged(const Folder& folder, const QByteArray& name, int input,
                       const platform::FileStatus& before);
    // Attributes, time and the move into place; false when reported.
    bool finishCopy(const Folder& folder, const QByteArray& name, Temporary& copy,
                    const platform::FileStatus& source, uint32_t dosBits, int64_t size);
    void notKept(NotKept::What what, int error, const QByteArray& destination);

    // A failed step: counted, and the observer asked whether to go on.
    void report(RunProblem::Kind kind, int error, const QByteArray& path,
                const QByteArray& other = {});
    void fileCopied(const Folder& folder, const QByteArray& name, int64_t bytes);

    bool aborted() const { return m_stopped || m_observer.stopRequested(); }

    const RunRequest& m_request;
    const CopyOptions& m_options;
    const bool m_scan;
    RunResult& m_result;
    RunObserver& m_observer;
    platform::FileIo& m_io;
    std::vector<char> m_buffer;
    platform::FileStatus m_root; // the destination root, not to be walked into itself
    bool m_haveRoot = false;
    bool m_stopped = false; // by an Abort answer or a write failure
    DestinationCase m_case = DestinationCase::Sensitive;
    bool m_unnamedRefused = false; // the destination cannot make files without a name
    size_t m_step = BlockSize;     // the next kernel copy step
    ScanFindings* m_findings;      // a scan's, filled as it goes
    const ScanFindings* m_known;   // a copy's: the scan just before it
    QElapsedTimer m_sincePump;
    int m_pumpMs;
};

} // namespace quorvia
