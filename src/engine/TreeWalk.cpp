#include "engine/TreeWalk.h"

#include "app/Alerts.h"
#include "engine/RunProgress.h"
#include "platform/Clock.h"

#include <QFile>
#include <QStringList>
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

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString errorText(int error) {
    return "Error (" + QString::number(error) + ") ";
}

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

TreeWalk::TreeWalk(AppState& state, UserPort& port, platform::FileIo& io)
    : m_state(state), m_port(port), m_io(io) {}

void TreeWalk::WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot) {
    QByteArray source = sourceRoot;
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    Destination destination;
    destination.path = destinationRoot;
    if (!destination.path.endsWith('/'))
        destination.path += '/';
    // The roots are taken as the user named them, links in them included.
    const bool scan = m_state.run.SizeScanMode;
    if (!scan)
        destination.fresh = m_io.makeFolder(kWholePath, destination.path) == 0;
    FolderHandle root{m_io};
    destination.error = m_io.openFolder(kWholePath, destination.path, root.fd);
    destination.fd = destination.error == 0 ? root.fd : kNoFolder;
    if (!scan && !rootUsable(destination))
        return;
    // A destination inside the source must not be walked into itself.
    m_haveRoot = destination.fd >= 0 && m_io.statOpen(destination.fd, m_root) == 0;
    if (!scan)
        m_case = probeDestinationCase(m_io, destination.fd);
    WalkFolder(kWholePath, source, source, destination);
    reportNotKept();
}

bool TreeWalk::rootUsable(const Destination& root) {
    if (root.fd >= 0)
        return true;
    // Not there and not made (a file in its place, a parent missing): said
    // once for the whole tree rather than once for every file below it.
    QByteArray path = root.path;
    if (path.size() > 1)
        path.chop(1);
    ++m_state.run.RunErrors;
    ShowAlert(m_port.dialogs, m_state.settings,
              errorText(root.error) + "Could Not Create: " + shown(path), AlertKind::Warning);
    return false;
}

void TreeWalk::WalkFolder(int sourceParent, const QByteArray& sourceName, const QByteArray& source,
                          const Destination& destination) {
    RunState& run = m_state.run;
    const bool scan = run.SizeScanMode;
    ++run.FolderCount;
    if (!scan)
        run.WorkList << "FOLDER -> " + shown(destination.path);

    platform::DirReader reader;
    const int error =
        sourceParent == kWholePath ? reader.open(source) : reader.open(sourceParent, sourceName);
    if (error != 0) {
        folderFailed(error, source);
    } else {
        FolderNames names(m_io, scan ? DestinationCase::Sensitive : m_case, reader.fd(),
                          destination.fd, destination.fresh);
        const Folder folder{source, reader.fd(), destination, names};
        if (!scan && destination.fd >= 0 && !destination.fresh)
            removeStaleTemporaries(folder);
        platform::DirEntry entry;
        for (bool first = true;; first = false) {
            if (!first)
                m_port.dialogs.processPendingMessages();
            if (aborted() || !reader.next(entry))
                break;
            handleEntry(folder, entry);
        }
    }
    reader.close();
    reportAbortOnce();
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
        if (m_state.run.SizeScanMode)
            measure(folder, name, false);
        else
            CopyOneFile(folder, name);
        break;
    default:
        if (m_state.run.SizeScanMode)
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
    WalkFolder(folder.sourceFd, name, platform::joinPath(folder.source, name), destination);
}

bool TreeWalk::prepareFolder(const Folder& folder, const QByteArray& name,
                             Destination& destination) {
    const Destination& parent = folder.destination;
    if (parent.fd < 0) {
        destination.error = parent.error; // its files show it
        return true;
    }
    const bool scan = m_state.run.SizeScanMode;
    if (!scan) {
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
                    createFailed(error, destination.path);
                    return false;
                }
            } else if (existing.type != EntryType::Directory) {
                // A file of an earlier backup: not removed, reported.
                createFailed(ENOTDIR, destination.path);
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
    const Settings& s = m_state.settings;
    if (!s.CopyHidden && name.startsWith('.'))
        return true;
    // The path is only made when the system bit has to be looked at.
    return !s.CopySystem && (m_io.dosBits(platform::joinPath(folder.source, name)) & AttrSystem);
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
    askAbortOrIgnore(errorText(NameTaken) +
                     "Could Not Create: " + shown(platform::joinPath(there, name)) +
                     "\nName Clashes With " + shown(platform::joinPath(there, *other)) +
                     " (The Destination Does Not Tell Letter Case Apart)");
    return true;
}

bool TreeWalk::openSource(const Folder& folder, const QByteArray& name, int& fd,
                          FileStatus& status) {
    if (const int error = m_io.openForReading(folder.sourceFd, name, fd, status)) {
        openFailed(error, platform::joinPath(folder.source, name));
        return false;
    }
    return status.type == EntryType::File; // else replaced by a special file since listed
}

void TreeWalk::CopyOneFile(const Folder& folder, const QByteArray& name) {
    if (aborted() || filteredOut(folder, name) || clashReported(folder, name))
        return;

    Descriptor input{m_io};
    FileStatus st;
    if (!openSource(folder, name, input.fd, st))
        return;
    const Destination& to = folder.destination;
    if (to.fd < 0) {
        createFailed(to.error, platform::joinPath(to.path, name));
        return;
    }
    // In a folder this run made, only this run's own names can be there, and
    // a file without a name finds those when it takes its own: no look-up.
    bool looked = false;
    bool missing = to.fresh && !m_unnamedRefused;
    if (!missing) {
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
        if (m_state.settings.ResetArchiveFlag)
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
                createFailed(error, platform::joinPath(to.path, name));
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
            readFailed(ChangedWhileCopied, platform::joinPath(folder.source, name));
            return;
        }
        input.release();
        if (!openSource(folder, name, input.fd, st))
            return;
    }
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
        createFailed(EISDIR, platform::joinPath(folder.destination.path, name));
        return false;
    }
    // A link or special file there is replaced by the move into place.
    if (existing.type == EntryType::File && m_state.settings.CopyOnlyNewer &&
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
        notKept(DosAttributes, error, destination);
        error = 0;
    }
    // Set-user and set-group bits are not carried: the copy has another owner.
    if (error == 0 && notKeptThere(error = m_io.setMode(fd, source.mode & 0777))) {
        notKept(Permissions, error, destination);
        error = 0;
    }
    if (error == 0) {
        // A time that did not stick would let copying only newer files skip
        // a changed file for good: looked at, not trusted.
        FileStatus written;
        if (const int timeError = m_io.setTime(fd, source.lastWrite))
            notKept(FileTimes, timeError, destination);
        else if (m_io.statOpen(fd, written) == 0 && platform::dosDateTime(written.lastWrite) !=
                                                        platform::dosDateTime(source.lastWrite))
            notKept(FileTimes, 0, destination);
    }
    if (error == 0 && copy.name.isEmpty()) {
        // Named while still open; a failing close takes the name away again.
        if ((error = m_io.linkUnnamed(fd, folder.destination.fd, name)) != 0) {
            createFailed(error, destination); // made there meanwhile by someone else
            return false;
        }
        if ((error = copy.file.release()) != 0) {
            m_io.remove(folder.destination.fd, name);
            writeFailed(error, destination);
            return false;
        }
    } else {
        if (const int closeError = copy.file.release(); error == 0)
            error = closeError;
        if (error != 0) {
            writeFailed(error, destination);
            return false;
        }
        if ((error = m_io.replace(folder.destination.fd, copy.name, name)) != 0) {
            createFailed(error, destination);
            return false;
        }
    }
    copy.kept = true;
    fileCopied(destination, size);
    return true;
}

bool TreeWalk::copyBytes(const Folder& folder, const QByteArray& name, int input, int output,
                         const FileStatus& status, int64_t& size) {
    // Paths only for the boxes.
    auto source = [&] { return platform::joinPath(folder.source, name); };
    auto destination = [&] { return platform::joinPath(folder.destination.path, name); };
    constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();
    // Holes are looked for only where the file holds fewer bytes than its length.
    bool holes = status.allocated < status.size;
    int64_t runEnd = holes ? 0 : kNoEnd; // end of the run of data being copied
    int64_t offset = 0;                  // the same in both files
    int64_t moved = 0;
    bool inKernel = true;
    // The walk pumped just before this file: the first step goes straight on.
    for (bool first = true; !aborted(); first = false) {
        if (!first) {
            m_port.dialogs.processPendingMessages();
            if (aborted())
                break;
        }
        if (holes && offset >= runEnd) {
            int64_t start = 0, end = 0;
            if (m_io.findData(input, offset, start, end) != 0) {
                holes = false; // cannot be asked here: every byte is copied
                runEnd = kNoEnd;
                start = offset;
            } else if (start < 0) {
                // Only a hole is left: the copy gets its length without bytes.
                if (const int error = m_io.setSize(output, std::max(offset, status.size))) {
                    writeFailed(error, destination());
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
                readFailed(error, source());
                return false;
            }
            offset = start;
        }
        const size_t step = size_t(std::min<int64_t>(StepSize, runEnd - offset));
        size_t got = 0;
        if (inKernel) {
            const int error = m_io.copyRange(input, output, step, got);
            if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
                writeFailed(error, destination());
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
            const size_t want = std::min(step, BlockSize);
            if (const int error = m_io.read(input, m_buffer.data(), want, got)) {
                readFailed(error, source());
                return false;
            }
            size_t written = 0;
            if (const int error = m_io.write(output, m_buffer.data(), got, written)) {
                writeFailed(error, destination());
                return false;
            }
        }
        offset += int64_t(got);
        moved += int64_t(got);
        if (const int64_t now = platform::tickCount();
            now - m_captionShownAt >= ProgressIntervalMs) {
            m_captionShownAt = now;
            UpdateProgressCaption(m_state, m_port.view, moved);
        }
        // At the end, or at the length the file had: one that grew meanwhile
        // is caught by the check after the copy, without one more read.
        if (got == 0 || (status.size > 0 && offset >= status.size)) {
            size = offset;
            return true;
        }
    }
    return false;
}

void TreeWalk::copyLink(const Folder& folder, const QByteArray& name) {
    if (aborted() || filteredOut(folder, name) || clashReported(folder, name))
        return;
    const QByteArray source = platform::joinPath(folder.source, name);
    FileStatus st;
    QByteArray target;
    int error = m_io.statAt(folder.sourceFd, name, st);
    if (error == 0)
        error = m_io.readLink(folder.sourceFd, name, target);
    if (error != 0) {
        openFailed(error, source);
        return;
    }
    const Destination& to = folder.destination;
    const QByteArray destination = platform::joinPath(to.path, name);
    FileStatus existing;
    if (m_io.statAt(to.fd, name, existing) == 0) {
        if (existing.type == EntryType::Directory) {
            createFailed(EISDIR, destination);
            return;
        }
        if (existing.type == EntryType::Symlink && m_state.settings.CopyOnlyNewer &&
            platform::dosDateTime(existing.lastWrite) >= platform::dosDateTime(st.lastWrite))
            return;
    }
    if (to.fd < 0) {
        createFailed(to.error, destination);
        return;
    }
    // The link itself is recreated, never followed.
    QByteArray temporary;
    if ((error = m_io.createTemporaryLink(to.fd, target, temporary)) != 0) {
        createFailed(error, destination);
        return;
    }
    m_io.setLinkTime(to.fd, temporary, st.lastWrite);
    if ((error = m_io.replace(to.fd, temporary, name)) != 0) {
        m_io.remove(to.fd, temporary);
        createFailed(error, destination);
        return;
    }
    fileCopied(destination, 0);
}

void TreeWalk::fileCopied(const QByteArray& destination, int64_t bytes) {
    RunState& run = m_state.run;
    run.ByteTotal += bytes;
    UpdateProgressCaption(m_state, m_port.view);
    m_captionShownAt = platform::tickCount();
    ++run.FilesCopied;
    run.WorkList << shown(destination);
}

void TreeWalk::measure(const Folder& folder, const QByteArray& name, bool link) {
    RunState& run = m_state.run;
    if (aborted())
        return;
    ++run.FilesExamined;
    const Settings& s = m_state.settings;
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
        if (s.CopyOnlyNewer
                ? platform::dosDateTime(target.lastWrite) >= platform::dosDateTime(st.lastWrite)
                : target.size == st.size) // the copy itself always copies then
            return;
    }
    if (!link)
        run.ByteTotal += st.size; // a link adds no bytes of its own
    ++run.FilesFound;
}

void TreeWalk::askAbortOrIgnore(const QString& message) {
    BeepIfSoundOn(m_port.dialogs, m_state.settings);
    if (m_port.dialogs.askAbortIgnore(message) == AbortIgnore::Abort)
        m_state.flags.AbortRequested = true;
    ++m_state.run.RunErrors;
}

void TreeWalk::openFailed(int error, const QByteArray& source) {
    askAbortOrIgnore(errorText(error) + "Could Not Open File: " + shown(source));
}

void TreeWalk::createFailed(int error, const QByteArray& destination) {
    askAbortOrIgnore(errorText(error) + "Could Not Create: " + shown(destination));
}

void TreeWalk::readFailed(int error, const QByteArray& source) {
    askAbortOrIgnore(errorText(error) + "Could Not Read: " + shown(source));
}

void TreeWalk::folderFailed(int error, const QByteArray& folder) {
    // A folder that cannot be listed would otherwise drop out of the backup unseen.
    if (m_state.run.SizeScanMode)
        ++m_state.run.RunErrors;
    else
        askAbortOrIgnore(errorText(error) + "Could Not Open Folder: " + shown(folder));
}

void TreeWalk::writeFailed(int error, const QByteArray& destination) {
    const bool full = platform::classifyError(error) == platform::ErrorClass::NoSpace;
    const QString message = errorText(error) + (full ? "Destination Full, " : "") +
                            "Could Not Write: " + shown(destination);
    ++m_state.run.RunErrors;
    ShowAlert(m_port.dialogs, m_state.settings, message, AlertKind::Warning);
    m_state.flags.AbortRequested = true;
}

void TreeWalk::notKept(NotKept what, int error, const QByteArray& destination) {
    if (m_notKept == 0) {
        m_notKeptFirst = destination;
        m_notKeptError = error;
    }
    m_notKept |= what;
}

void TreeWalk::reportNotKept() {
    if (m_notKept == 0)
        return;
    QStringList what;
    if (m_notKept & Permissions)
        what << "Permissions";
    if (m_notKept & FileTimes)
        what << "File Times";
    if (m_notKept & DosAttributes)
        what << "System And Archive Attributes";
    const QString list = what.size() == 1
                             ? what[0]
                             : what.mid(0, what.size() - 1).join(", ") + " And " + what.last();
    QString text = "The Copies Are Complete, But The Destination Does Not Keep Their " + list +
                   "\nFirst Seen With: " + shown(m_notKeptFirst);
    if (m_notKeptError != 0)
        text += " (Error " + QString::number(m_notKeptError) + ")";
    if (m_notKept & FileTimes)
        text += "\nCopying Only Newer Files Cannot Be Trusted There";
    m_notKept = 0;
    ShowAlert(m_port.dialogs, m_state.settings, text, AlertKind::Information);
}

void TreeWalk::reportAbortOnce() {
    RunState& run = m_state.run;
    if (!aborted() || run.AbortReported)
        return;
    run.AbortReported = true;
    ShowAlert(m_port.dialogs, m_state.settings,
              run.SizeScanMode
                  ? "Quorvia Was Aborted During Size Check, Calculations Will Be Wrong"
                  : "Quorvia Was Aborted During Synch Process, All Files Might Not Be On "
                    "Destination",
              AlertKind::Warning);
}

} // namespace quorvia
