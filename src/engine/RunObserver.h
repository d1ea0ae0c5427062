#pragma once

#include <QByteArray>
#include <cstdint>

namespace quorvia {

// A step of a run that failed, as a fact: what, the errno, and where.
struct RunProblem {
    enum Kind {
        SourceNotOpened,       // a file of Folder 1 could not be opened
        SourceNotRead,         // reading it failed partway, or it kept changing
        FolderNotListed,       // a folder of Folder 1 could not be listed
        DestinationNotMade,    // a copy, link or folder could not be made there
        NameClash,             // the destination holds the entry under `other`
        DestinationNotWritten, // writing failed: the run stops whatever the answer
        DestinationUnusable,   // Folder 2 itself cannot be made or opened: nothing is walked
        ArchiveProblem,        // a message of the zip library (`error` its code, `path` its text)
    };
    Kind kind;
    int error = 0;
    QByteArray path; // the source for the first three, else the destination
    QByteArray other;

    RunProblem(Kind what, int errno_, QByteArray path_, QByteArray other_ = {})
        : kind(what), error(errno_), path(std::move(path_)), other(std::move(other_)) {}
};

enum class Reply { Continue, Abort };

// A step of progress: a destination folder entered, a file's copy started
// (`path`: its name, in the folder last entered), bytes of it done so far, a
// copy done (`bytes`: its size; `path`: its destination folder).
struct RunProgress {
    enum Kind { FolderEntered, FileStarted, BytesDone, FileDone };
    Kind kind;
    const QByteArray& path;
    int64_t bytes = 0;
};

// Whoever watches a run: a window, or nobody (an unattended run). It answers
// problems, hears progress, lets its events be handled between steps and
// says when the run is to stop. A size scan reports no problems; it counts them.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual Reply problem(const RunProblem& problem) = 0;
    virtual void progress(const RunProgress& step) = 0;
    // Before an entry (not a folder's first) or a copy step, once
    // pumpIntervalMs() have passed since the last: by time, not by entry, so
    // that a run over many small files does not spend its time on events.
    virtual void pump() = 0;
    virtual int pumpIntervalMs() const { return 4; }
    virtual bool stopRequested() const = 0;
};

} // namespace quorvia
