#include "engine/TreeWalk.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <limits>

namespace quorvia {

using platform::AttrArchive;
using platform::AttrSystem;
using platform::EntryType;
using platform::FileStatus;
using platform::kNoFolder;
using platform::kWholePath;

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// What FAT through FUSE, network shares and other file systems answer to a
// mode or attribute they do not keep: the copy's bytes are whole, so it stands.
bool notKeptThere(int error) {
    return error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP || error == EPERM ||
           error == EACCES || error == EINVAL;
}

// Closes a descriptor on every way out.
struct Descriptor {
    platform::FileIo& io;
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            io.close(fd);
    }
    int release() {
        const int error = fd >= 0 ? io.close(fd) : 0;
        fd = -1;
        return error;
    }
};

// A folder opened for look-ups, closed with its walk.
struct FolderHandle {
    platform::FileIo& io;
    int fd = kNoFolder;
    ~FolderHandle() {
        if (fd >= 0)
            io.close(fd);
    }
};

} // namespace

// A copy in the making: unless it is kept, the file goes when this does.
struct TreeWalk::Temporary {
    platform::FileIo& io;
    int folder;
    QByteArray name;
    Descriptor file{io};
    bool kept = false;
    ~Temporary() {
        file.release();
        if (!kept && !name.isEmpty())
            io.remove(folder, name);
    }
};

void WalkTree(const RunRequest& request, RunResult& result, RunObserver& observer,
              platform::FileIo& io) {
    // Also when the walk throws: nothing of it may hold the destination after.
    struct Settle {
        platform::FileIo& io;
        ~Settle() { io.settle(); }
    } settle{io};
    TreeWalk(request, result, observer, io).run();
}

TreeWalk::TreeWalk(const RunRequest& request, RunResult& result, RunObserver& observer,
                   platform::FileIo& io)
    : m_request(request), m_options(request.options), m_scan(request.mode == RunMode::SizeScan),
      m_result(result), m_observer(observer), m_io(io),
      m_findings(m_scan ? request.findings : nullptr),
      m_known(!m_scan && request.findings && request.findings->appliesTo(request) ? request.findings
                                                                                  : nullptr),
      m_pumpMs(observer.pumpIntervalMs()) {}

void TreeWalk::run() {
    QByteArray source = QFile::encodeName(m_request.pair.source);
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    Destination destination;
    destination.path = QFile::encodeName(m_request.pair.destination);
    if (!destination.path.endsWith('/'))
        destination.path += '/';
    // The roots are taken as the user named them, links in them included.
    if (!m_scan)
        destination.fresh = m_io.makeFolder(kWholePath, destination.path) == 0;
    FolderHandle root{m_io};
    destination.error = m_io.openFolder(kWholePath, destination.path, root.fd);
    destination.fd = destination.error == 0 ? root.fd : kNoFolder;
    if (!m_scan && destination.fd < 0) {
        // Not there and not made (a file in its place, a parent missing): said
        // once for the whole tree rather than once for every file below it.
        QByteArray path = destination.path;
        if (path.size() > 1)
            path.chop(1);
        ++m_result.RunErrors;
        m_observer.problem(RunProblem(RunProblem::DestinationUnusable, destination.error, path));
        return;
    }
    // A destination inside the source must not be walked into itself.
    m_haveRoot = destination.fd >= 0 && m_io.statOpen(destination.fd, m_root) == 0;
    if (!m_scan)
        m_case = probeDestinationCase(m_io, destination.fd);
    if (m_findings)
        m_findings->start(m_request);
    WalkFolder(kWholePath, source, source, destination, destination.path, -1, ScanFindings::Root);
    if (m_findings)
        m_findings->finish();
    m_result.aborted = aborted();
}

void TreeWalk::pumpWhenDue() {
    if (m_sincePump.isValid() && m_sincePump.elapsed() < m_pumpMs)
        return;
    m_sincePump.start(); // from the pump's start: a slow pump is not waited for again
    m_observer.pump();
}

void TreeWalk::WalkFolder(int sourceParent, const QByteArray& sourceName, const QByteArray& source,
                          Destination& destination, const QByteArray& listedName, int listedParent,
                          ScanFindings::Key key) {
    ++m_result.FolderCount;
    if (!m_scan) {
        destination.listed = m_result.WorkList.addFolder(listedParent, listedName);
        m_observer.progress({RunProgress::FolderEntered, destination.path});
    }

    platform::DirReader reader;
    const int error =
        sourceParent == kWholePath ? reader.open(source) : reader.open(sourceParent, sourceName);
    if (error != 0) {
        // A folder that cannot be listed would otherwise drop out of the backup unseen.
        if (m_scan)
            ++m_result.RunErrors;
        else
            report(RunProblem::FolderNotListed, error, source);
        return;
    }
    FolderNames names(m_io, m_scan ? DestinationCase::Sensitive : m_case, reader.fd(),
                      destination.fd, destination.fresh);
    const Folder folder{source, reader.fd(), destination, names, key};
    if (!m_scan && destination.fd >= 0 && !destination.fresh)
        removeStaleTemporaries(folder);
    platform::DirEntry entry;
    for (bool first = true;; first = false) {
        if (!first)
            pumpWhenDue();
        if (aborted() || !reader.next(entry))
            break;
        handleEntry(folder, entry);
    }
}

void TreeWalk::handleEntry(const Folder& folder, const platform::DirEntry& entry) {
    const QByteArray& name = entry.name;
    if (name == "." || name == ".." || entry.type == EntryType::Special)
        return; // FIFOs, sockets and devices are not backed up; opening a FIFO would hang
    switch (entry.type) {
    case EntryType::Directory:
        enterFolder(folder, name);
        break;
    case EntryType::File:
        if (m_scan)
            measure(folder, name, false);
        else
            CopyOneFile(folder, name);
        break;
    default:
        if (m_scan)
            measure(folder, name, true);
        else
            copyLink(folder, name);
        break;
    }
}

void TreeWalk::enterFolder(const Folder& folder, const QByteArray& name) {
    if (filteredOut(folder, name) || isDestinationRoot(folder, name) || clashReported(folder, name))
        return;
    Destination destination;
    destination.path = platform::joinPath(folder.destination.path, name);
    if (!prepareFolder(folder, name, destination))
        return;
    const FolderHandle handle{m_io, destination.fd};
    WalkFolder(folder.sourceFd, name, platform::joinPath(folder.source, name), destination, name,
               folder.destination.listed, ScanFindings::folderKey(folder.key, name));
}

bool TreeWalk::prepareFolder(const Folder& folder, const QByteArray& name,
                             Destination& destination) {
    const Destination& parent = folder.destination;
    if (parent.fd < 0) {
        destination.error = parent.error; // its files show it
        return true;
    }
    if (!m_scan) {
        int error = m_io.makeFolder(parent.fd, name);
        destination.fresh = error == 0;
        if (error != 0 && error != EEXIST) {
            destination.error = error; // shown by the files' errors
            return true;
        }
        FileStatus existing;
        if (error == EEXIST && m_io.statAt(parent.fd, name, existing) == 0) {
            if (existing.type == EntryType::Symlink) {
                // A link the source once had: a folder takes its place, and
                // nothing is ever written where it points.
                error = m_io.remove(parent.fd, name);
                if (error == 0)
                    error = m_io.makeFolder(parent.fd, name);
                destination.fresh = error == 0;
                if (error != 0) {
                    report(RunProblem::DestinationNotMade, error, destination.path);
                    return false;
                }
            } else if (existing.type != EntryType::Directory) {
                // A file of an earlier backup: not removed, reported.
                report(RunProblem::DestinationNotMade, ENOTDIR, destination.path);
                return false;
            }
        }
    }
    // Opened without following a link: one put there meanwhile is refused.
    destination.error = m_io.openFolder(parent.fd, name, destination.fd);
    if (destination.error != 0) {
        destination.fd = kNoFolder;
        return true; // a creation that failed shows up in the files' errors
    }
    return true;
}

void TreeWalk::removeStaleTemporaries(const Folder& folder) {
    // Left by a run that was killed in the middle of a file. Only files and
    // links of exactly that form go, and none the source itself holds.
    std::vector<QByteArray> names;
    if (m_io.listTemporaries(folder.destination.fd, names) != 0)
        return;
    for (const QByteArray& name : names) {
        FileStatus st;
        if (m_io.statAt(folder.destination.fd, name, st) != 0 ||
            (st.type != EntryType::File && st.type != EntryType::Symlink))
            continue;
        FileStatus inSource;
        if (m_io.statAt(folder.sourceFd, name, inSource) == ENOENT)
            m_io.remove(folder.destination.fd, name);
    }
}

bool TreeWalk::filteredOut(const Folder& folder, const QByteArray& name) {
    if (!m_options.hidden && name.startsWith('.'))
        return true;
    // The path is only made when the system bit has to be looked at.
    return !m_options.system &&
           (m_io.dosBits(platform::joinPath(folder.source, name)) & AttrSystem);
}

bool TreeWalk::isDestinationRoot(const Folder& folder, const QByteArray& name) const {
    FileStatus st;
    return m_haveRoot && m_io.statAt(folder.sourceFd, name, st) == 0 && st.sameFile(m_root);
}

bool TreeWalk::clashReported(const Folder& folder, const QByteArray& name) {
    const QByteArray* other = folder.names.clashFor(name);
    if (!other)
        return false;
    const QByteArray& there = folder.destination.path;
    report(RunProblem::NameClash, NameTaken, platform::joinPath(there, name),
           platform::joinPath(there, *other));
    return true;
}

bool TreeWalk::openSource(const Folder& folder, const QByteArray& name, int& fd,
                          FileStatus& status) {
    if (const int error = m_io.openForReading(folder.sourceFd, name, fd, status)) {
        report(RunProblem::SourceNotOpened, error, platform::joinPath(folder.source, name));
        return false;
    }
    return status.type == EntryType::File; // else replaced by a special file since listed
}

void TreeWalk::CopyOneFile(const Folder& folder, const QByteArray& name) {
    if (aborted() || filteredOut(folder, name) || clashReported(folder, name))
        return;
    m_observer.progress({RunProgress::FileStarted, name});
    bool looked = false;
    bool missing = false;
    if (upToDate(folder, name, looked, missing))
        return;

    Descriptor input{m_io};
    FileStatus st;
    if (!openSource(folder, name, input.fd, st))
        return;
    const Destination& to = folder.destination;
    if (to.fd < 0) {
        report(RunProblem::DestinationNotMade, to.error, platform::joinPath(to.path, name));
        return;
    }
    // In a folder this run made, only this run's own names can be there, and
    // a file without a name finds those when it takes its own: no look-up.
    if (!looked)
        missing = to.fresh && !m_unnamedRefused;
    if (!missing && !looked) {
        if (!destinationAllowsCopy(folder, name, st, missing))
            return;
        looked = true;
    }

    // The copy is written beside the destination and put in place only when
    // complete: an abort or failure leaves the old destination as it was.
    // A source that changes meanwhile is copied once more; a second change is
    // reported and leaves the old destination too, so the next run takes it.
    for (int attempt = 1;; ++attempt) {
        uint32_t dosBits = m_io.dosBits(input.fd);
        if (m_options.resetArchive)
            dosBits &= ~uint32_t(AttrArchive);
        Temporary copy{m_io, to.fd, {}};
        if (missing && !m_unnamedRefused) {
            const int error = m_io.createUnnamed(to.fd, copy.file.fd);
            m_unnamedRefused = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
        }
        if (copy.file.fd < 0) {
            // A hidden name, moved over the old destination when complete.
            if (!looked && !destinationAllowsCopy(folder, name, st, missing))
                return;
            looked = true;
            if (const int error = m_io.createTemporary(to.fd, copy.name, copy.file.fd)) {
                report(RunProblem::DestinationNotMade, error, platform::joinPath(to.path, name));
                return;
            }
        }
        int64_t size = 0;
        if (!copyBytes(folder, name, input.fd, copy.file.fd, st, size))
            return;
        if (!sourceChanged(folder, name, input.fd, st)) {
            finishCopy(folder, name, copy, st, dosBits, size);
            return;
        }
        if (attempt == 2) {
            report(RunProblem::SourceNotRead, ChangedWhileCopied,
                   platform::joinPath(folder.source, name));
            return;
        }
        input.release();
        if (!openSource(folder, name, input.fd, st))
            return;
    }
}

bool TreeWalk::upToDate(const Folder& folder, const QByteArray& name, bool& looked, bool& missing) {
    const Destination& to = folder.destination;
    if (!m_options.onlyNewer || to.fd < 0 || to.fresh)
        return false;
    if (m_known && m_known->upToDate(folder.key, name))
        return true;
    // One status each side; the source is opened only to be copied. Anything
    // out of the ordinary takes the way through the open, which reports it.
    FileStatus source, existing;
    if (m_io.statAt(folder.sourceFd, name, source) != 0 || source.type != EntryType::File ||
        m_io.checkReadable(folder.sourceFd, name, source) != 0)
        return false;
    const int error = m_io.statAt(to.fd, name, existing);
    if (error == ENOENT || (error == 0 && existing.type == EntryType::File)) {
        looked = true;
        missing = error == ENOENT;
    }
    return error == 0 && existing.type == EntryType::File &&
           platform::dosDateTime(existing.lastWrite) >= platform::dosDateTime(source.lastWrite);
}

bool TreeWalk::destinationAllowsCopy(const Folder& folder, const QByteArray& name,
                                     const FileStatus& source, bool& missing) {
    FileStatus existing;
    const int lookedUp = m_io.statAt(folder.destination.fd, name, existing);
    missing = lookedUp == ENOENT;
    if (lookedUp != 0)
        return true; // other failures show when the copy is made
    if (existing.type == EntryType::Directory) {
        // Only a regular file can be up to date; a folder in the way is reported.
        report(RunProblem::DestinationNotMade, EISDIR,
               platform::joinPath(folder.destination.path, name));
        return false;
    }
    // A link or special file there is replaced by the move into place.
    if (existing.type == EntryType::File && m_options.onlyNewer &&
        platform::dosDateTime(existing.lastWrite) >= platform::dosDateTime(source.lastWrite))
        return false;
    return true;
}

bool TreeWalk::sourceChanged(const Folder& folder, const QByteArray& name, int input,
                             const FileStatus& before) {
    // Cut short, grown, or written in place (the change time moves even when
    // the writer puts the old last-write time back).
    FileStatus after;
    if (m_io.statOpen(input, after) != 0 || after.size != before.size ||
        !sameTime(after.lastWrite, before.lastWrite) || !sameTime(after.changed, before.changed))
        return true;
    // Replaced under its name: the copy holds the file that was there before.
    FileStatus now;
    return m_io.statAt(folder.sourceFd, name, now) != 0 || !now.sameFile(after);
}

bool TreeWalk::finishCopy(const Folder& folder, const QByteArray& name, Temporary& copy,
                          const FileStatus& source, uint32_t dosBits, int64_t size) {
    const QByteArray destination = platform::joinPath(folder.destination.path, name);
    const int fd = copy.file.fd;
    // The bytes are complete: what the destination cannot keep of the rest is
    // told, and the copy stands.
    int error = m_io.setDosBits(fd, dosBits);
    if (notKeptThere(error)) {
        notKept(NotKept::DosAttributes, error, destination);
        error = 0;
    }
    // Set-user and set-group bits are not carried: the copy has another owner.
    if (error == 0 && notKeptThere(error = m_io.setMode(fd, source.mode & 0777))) {
        notKept(NotKept::Permissions, error, destination);
        error = 0;
    }
    if (error == 0) {
        // A time that did not stick would let copying only newer files skip
        // a changed file for good: looked at, not trusted.
        FileStatus written;
        if (const int timeError = m_io.setTime(fd, source.lastWrite))
            notKept(NotKept::FileTimes, timeError, destination);
        else if (m_io.statOpen(fd, written) == 0 && platform::dosDateTime(written.lastWrite) !=
                                                        platform::dosDateTime(source.lastWrite))
            notKept(NotKept::FileTimes, 0, destination);
    }
    if (error == 0 && copy.name.isEmpty()) {
        // Named while still open; a failing close takes the name away again.
        if ((error = m_io.linkUnnamed(fd, folder.destination.fd, name)) != 0) {
            report(RunProblem::DestinationNotMade, error,
                   destination); // made there meanwhile by someone else
            return false;
        }
        if ((error = copy.file.release()) != 0) {
            m_io.remove(folder.destination.fd, name);
            report(RunProblem::DestinationNotWritten, error, destination);
            return false;
        }
    } else {
        if (const int closeError = copy.file.release(); error == 0)
            error = closeError;
        if (error != 0) {
            report(RunProblem::DestinationNotWritten, error, destination);
            return false;
        }
        if ((error = m_io.replace(folder.destination.fd, copy.name, name)) != 0) {
            report(RunProblem::DestinationNotMade, error, destination);
            return false;
        }
    }
    copy.kept = true;
    fileCopied(folder, name, size);
    return true;
}

bool TreeWalk::copyBytes(const Folder& folder, const QByteArray& name, int input, int output,
                         const FileStatus& status, int64_t& size) {
    // Paths only for the problems.
    auto source = [&] { return platform::joinPath(folder.source, name); };
    auto destination = [&] { return platform::joinPath(folder.destination.path, name); };
    constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();
    // Holes are looked for only where the file holds fewer bytes than its length.
    bool holes = status.allocated < status.size;
    int64_t runEnd = holes ? 0 : kNoEnd; // end of the run of data being copied
    int64_t offset = 0;                  // the same in both files
    int64_t moved = 0;
    bool inKernel = true;
    while (true) {
        pumpWhenDue();
        if (aborted())
            return false;
        if (holes && offset >= runEnd) {
            int64_t start = 0, end = 0;
            if (m_io.findData(input, offset, start, end) != 0) {
                holes = false; // cannot be asked here: every byte is copied
                runEnd = kNoEnd;
                start = offset;
            } else if (start < 0) {
                // Only a hole is left: the copy gets its length without bytes.
                if (const int error = m_io.setSize(output, std::max(offset, status.size))) {
                    report(RunProblem::DestinationNotWritten, error, destination());
                    return false;
                }
                size = std::max(offset, status.size);
                return true;
            } else {
                runEnd = end;
            }
            int error = m_io.seek(input, start);
            if (error == 0)
                error = m_io.seek(output, start);
            if (error != 0) {
                report(RunProblem::SourceNotRead, error, source());
                return false;
            }
            offset = start;
        }
        size_t got = 0;
        if (inKernel) {
            const int error = kernelStep(input, output, runEnd - offset, got);
            if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
                report(RunProblem::DestinationNotWritten, error, destination());
                return false;
            }
            // Not possible here, or a fault the buffer will pin on its side. Some
            // file systems also answer "nothing" for files that do have bytes.
            if (error != 0 || (got == 0 && moved == 0)) {
                inKernel = false;
                continue;
            }
        } else {
            m_buffer.resize(BlockSize);
            const size_t want = size_t(std::min<int64_t>(BlockSize, runEnd - offset));
            if (const int error = m_io.read(input, m_buffer.data(), want, got)) {
                report(RunProblem::SourceNotRead, error, source());
                return false;
            }
            size_t written = 0;
            if (const int error = m_io.write(output, m_buffer.data(), got, written)) {
                report(RunProblem::DestinationNotWritten, error, destination());
                return false;
            }
        }
        offset += int64_t(got);
        moved += int64_t(got);
        m_observer.progress({RunProgress::BytesDone, folder.destination.path, moved});
        // At the end, or at the length the file had: one that grew meanwhile
        // is caught by the check after the copy, without one more read.
        if (got == 0 || (status.size > 0 && offset >= status.size)) {
            size = offset;
            return true;
        }
    }
}

int TreeWalk::kernelStep(int input, int output, int64_t limit, size_t& got) {
    const size_t step = size_t(std::min<int64_t>(int64_t(m_step), limit));
    QElapsedTimer timer;
    timer.start();
    const int error = m_io.copyRange(input, output, step, got);
    // Well under the target: twice as much next time; over it: half.
    const int64_t ms = timer.elapsed();
    if (error == 0 && got == step && ms < StepTargetMs / 4)
        m_step = std::min(m_step * 2, MaxStepSize);
    else if (ms > StepTargetMs)
        m_step = std::max(m_step / 2, BlockSize);
    return error;
}

void TreeWalk::copyLink(const Folder& folder, const QByteArray& name) {
    if (aborted() || filteredOut(folder, name) || clashReported(folder, name))
        return;
    if (m_known && m_options.onlyNewer && folder.destination.fd >= 0 &&
        m_known->upToDate(folder.key, name))
        return;
    const QByteArray source = platform::joinPath(folder.source, name);
    FileStatus st;
    QByteArray target;
    int error = m_io.statAt(folder.sourceFd, name, st);
    if (error == 0)
        error = m_io.readLink(folder.sourceFd, name, target);
    if (error != 0) {
        report(RunProblem::SourceNotOpened, error, source);
        return;
    }
    const Destination& to = folder.destination;
    const QByteArray destination = platform::joinPath(to.path, name);
    FileStatus existing;
    if (m_io.statAt(to.fd, name, existing) == 0) {
        if (existing.type == EntryType::Directory) {
            report(RunProblem::DestinationNotMade, EISDIR, destination);
            return;
        }
        if (existing.type == EntryType::Symlink && m_options.onlyNewer &&
            platform::dosDateTime(existing.lastWrite) >= platform::dosDateTime(st.lastWrite))
            return;
    }
    if (to.fd < 0) {
        report(RunProblem::DestinationNotMade, to.error, destination);
        return;
    }
    // The link itself is recreated, never followed.
    QByteArray temporary;
    if ((error = m_io.createTemporaryLink(to.fd, target, temporary)) != 0) {
        report(RunProblem::DestinationNotMade, error, destination);
        return;
    }
    m_io.setLinkTime(to.fd, temporary, st.lastWrite);
    if ((error = m_io.replace(to.fd, temporary, name)) != 0) {
        m_io.remove(to.fd, temporary);
        report(RunProblem::DestinationNotMade, error, destination);
        return;
    }
    fileCopied(folder, name, 0);
}

void TreeWalk::fileCopied(const Folder& folder, const QByteArray& name, int64_t bytes) {
    m_result.ByteTotal += bytes;
    ++m_result.FilesCopied;
    m_result.WorkList.addFile(folder.destination.listed, name);
    m_observer.progress({RunProgress::FileDone, folder.destination.path, bytes});
}

void TreeWalk::measure(const Folder& folder, const QByteArray& name, bool link) {
    RunResult& run = m_result;
    if (aborted())
        return;
    ++run.FilesExamined;
    if (filteredOut(folder, name))
        return;
    // Asked rather than opened: a scan looks at thousands of files and reads none.
    FileStatus st;
    if (m_io.statAt(folder.sourceFd, name, st) != 0 ||
        (!link && m_io.checkReadable(folder.sourceFd, name, st) != 0)) {
        ++run.RunErrors;
        return;
    }
    if ((st.type == EntryType::Symlink) != link || (!link && st.type != EntryType::File))
        return; // changed since the folder was listed
    // Up to date only where the destination holds the same kind of entry: a
    // folder in the way of a file needs the copy (which will report it).
    FileStatus target;
    if (m_io.statAt(folder.destination.fd, name, target) == 0 && target.type == st.type) {
        if (!m_options.onlyNewer) {
            if (target.size == st.size) // the copy itself always copies then
                return;
        } else if (platform::dosDateTime(target.lastWrite) >= platform::dosDateTime(st.lastWrite)) {
            if (m_findings)
                m_findings->addUpToDate(folder.key, name);
            return;
        }
    }
    if (!link)
        run.ByteTotal += st.size; // a link adds no bytes of its own
    ++run.FilesFound;
}

void TreeWalk::report(RunProblem::Kind kind, int error, const QByteArray& path,
                      const QByteArray& other) {
    ++m_result.RunErrors;
    // A write that failed stops the run whatever the answer: the next would too.
    if (m_observer.problem(RunProblem(kind, error, path, other)) == Reply::Abort ||
        kind == RunProblem::DestinationNotWritten)
        m_stopped = true;
}

void TreeWalk::notKept(NotKept::What what, int error, const QByteArray& destination) {
    NotKept& notKept = m_result.notKept;
    if (notKept.what == 0) {
        notKept.first = destination;
        notKept.error = error;
    }
    notKept.what |= what;
}

} // namespace quorvia
