#include "engine/TreeWalk.h"

#include "app/Alerts.h"
#include "engine/RunProgress.h"

#include <QFile>
#include <cerrno>

namespace quorvia {

using platform::AttrArchive;
using platform::AttrSystem;
using platform::EntryType;
using platform::FileStatus;
using platform::kNoFolder;
using platform::kWholePath;
using platform::nameOf;

namespace {

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString errorText(int error) {
    return "Error (" + QString::number(error) + ") ";
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
        const int error = io.close(fd);
        fd = -1;
        return error;
    }
};

// A copy in the making: unless it is kept, the file goes when this does.
struct Temporary {
    platform::FileIo& io;
    QByteArray path;
    Descriptor file{io};
    bool kept = false;
    ~Temporary() {
        if (file.fd >= 0)
            file.release();
        if (!kept && !path.isEmpty())
            io.remove(path);
    }
};

// An open folder for lookups by name, closed with the walk of that folder.
struct OpenFolder {
    platform::FileIo& io;
    int fd = kNoFolder;
    OpenFolder(platform::FileIo& files, const QByteArray& path) : io(files) {
        if (!path.isEmpty() && io.openFolder(path, fd) != 0)
            fd = kNoFolder;
    }
    ~OpenFolder() {
        if (fd >= 0)
            io.close(fd);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
};

} // namespace

TreeWalk::TreeWalk(AppState& state, UserPort& port, platform::FileIo& io)
    : m_state(state), m_port(port), m_io(io) {}

void TreeWalk::WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot) {
    QByteArray source = sourceRoot;
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    QByteArray destination = destinationRoot;
    if (!destination.endsWith('/'))
        destination += '/';
    if (!m_state.run.SizeScanMode)
        m_io.makeFolder(destination);
    // A destination inside the source must not be walked into itself.
    // "root/." resolves a link to the root folder, as the walk will.
    m_haveRoot = m_io.statAt(kWholePath, destination + '.', m_root) == 0;
    WalkFolder(source, destination);
}

void TreeWalk::WalkFolder(const QByteArray& folder, const QByteArray& destinationFolder) {
    RunState& run = m_state.run;
    const bool scan = run.SizeScanMode;
    if (!scan)
        m_io.makeFolder(destinationFolder); // a failure shows in the files' errors
    ++run.FolderCount;
    if (!scan)
        run.WorkList << "FOLDER -> " + shown(destinationFolder);

    platform::DirReader reader;
    const int error = reader.open(folder);
    if (error != 0) {
        folderFailed(error, folder);
    } else {
        // The scan looks names up inside open folders, far cheaper than whole paths.
        const OpenFolder from(m_io, scan ? folder : QByteArray());
        const OpenFolder to(m_io, scan ? destinationFolder : QByteArray());
        platform::DirEntry entry;
        for (bool first = true;; first = false) {
            if (!first)
                m_port.dialogs.processPendingMessages();
            if (aborted() || !reader.next(entry))
                break;
            handleEntry(folder, destinationFolder, entry, from.fd, to.fd);
        }
    }
    reader.close();
    reportAbortOnce();
}

void TreeWalk::handleEntry(const QByteArray& folder, const QByteArray& destinationFolder,
                           const platform::DirEntry& entry, int openSource, int openDestination) {
    const QByteArray& name = entry.name;
    if (name == "." || name == ".." || entry.type == EntryType::Special)
        return; // FIFOs, sockets and devices are not backed up; opening a FIFO would hang
    if (m_state.run.SizeScanMode && entry.type != EntryType::Directory) {
        // No whole paths here unless a folder could not be opened.
        const QByteArray source = openSource >= 0 ? QByteArray() : platform::joinPath(folder, name);
        const At from = openSource >= 0 ? At{openSource, name} : At{kWholePath, source};
        measure(from, {openDestination, name}, folder, name, entry.type == EntryType::Symlink);
        return;
    }
    const QByteArray source = platform::joinPath(folder, name);
    const QByteArray destination = platform::joinPath(destinationFolder, name);
    switch (entry.type) {
    case EntryType::Directory:
        if (!passedOver(source, name.startsWith('.')) && !isDestinationRoot(source))
            WalkFolder(source, destination);
        break;
    case EntryType::File:
        CopyOneFile(source, destination);
        break;
    default:
        copyLink(source, destination);
        break;
    }
}

bool TreeWalk::passedOver(const QByteArray& path, bool hidden) {
    const Settings& s = m_state.settings;
    if (hidden && !s.CopyHidden)
        return true;
    return !s.CopySystem && (m_io.dosBits(path) & AttrSystem);
}

bool TreeWalk::isDestinationRoot(const QByteArray& folder) const {
    FileStatus st;
    return m_haveRoot && m_io.statAt(kWholePath, folder, st) == 0 && st.sameFile(m_root);
}

bool TreeWalk::upToDate(At destination, const FileStatus& source) const {
    FileStatus target;
    if (m_io.statAt(destination.folder, destination.name, target) != 0)
        return false;
    if (m_state.settings.CopyOnlyNewer)
        return platform::dosDateTime(target.lastWrite) >= platform::dosDateTime(source.lastWrite);
    // Only the size scan gets here with CopyOnlyNewer off: the copy itself always copies.
    return target.size == source.size;
}

void TreeWalk::CopyOneFile(const QByteArray& source, const QByteArray& destination) {
    if (aborted() || passedOver(source, nameOf(source).startsWith('.')))
        return;

    Descriptor input{m_io};
    if (const int error = m_io.openForReading(source, input.fd)) {
        openFailed(error, source);
        return;
    }
    FileStatus st;
    if (const int error = m_io.statOpen(input.fd, st)) {
        openFailed(error, source);
        return;
    }
    if (st.type != EntryType::File)
        return; // replaced by a special file since the folder was listed
    if (m_state.settings.CopyOnlyNewer && upToDate({kWholePath, destination}, st))
        return;

    uint32_t dosBits = m_io.dosBits(input.fd);
    if (m_state.settings.ResetArchiveFlag)
        dosBits &= ~uint32_t(AttrArchive);

    // The copy is written beside the destination and moved over it only when
    // complete: an abort or failure leaves the old destination as it was.
    Temporary copy{m_io, {}};
    if (const int error =
            m_io.createTemporary(platform::folderOf(destination), copy.path, copy.file.fd)) {
        createFailed(error, destination);
        return;
    }

    int64_t copied = 0;
    if (!copyBytes(input.fd, copy.file.fd, source, destination, copied))
        return; // the old destination stays as it was

    // Set-user and set-group bits are not carried: the copy has another owner.
    int error = m_io.finishCopy(copy.file.fd, dosBits, st.mode & 0777, st.lastWrite);
    if (const int closeError = copy.file.release(); error == 0)
        error = closeError;
    if (error != 0) {
        writeFailed(error, destination);
        return;
    }
    if ((error = m_io.replace(copy.path, destination)) != 0) {
        createFailed(error, destination);
        return;
    }
    copy.kept = true;
    fileCopied(destination, copied);
}

bool TreeWalk::copyBytes(int input, int output, const QByteArray& source,
                         const QByteArray& destination, int64_t& copied) {
    bool inKernel = true;
    while (!aborted()) {
        m_port.dialogs.processPendingMessages();
        if (aborted())
            break;
        size_t got = 0;
        if (inKernel) {
            const int error = m_io.copyRange(input, output, StepSize, got);
            if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
                writeFailed(error, destination);
                return false;
            }
            // Not possible here, or a fault the buffer will pin on its side. Some
            // file systems also answer "nothing" for files that do have bytes.
            if (error != 0 || (got == 0 && copied == 0)) {
                inKernel = false;
                continue;
            }
        } else {
            m_buffer.resize(BlockSize);
            if (const int error = m_io.read(input, m_buffer.data(), BlockSize, got)) {
                readFailed(error, source);
                return false;
            }
            size_t written = 0;
            if (const int error = m_io.write(output, m_buffer.data(), got, written)) {
                writeFailed(error, destination);
                return false;
            }
        }
        if (got == 0)
            return true;
        copied += int64_t(got);
    }
    return false;
}

void TreeWalk::copyLink(const QByteArray& source, const QByteArray& destination) {
    if (aborted() || passedOver(source, nameOf(source).startsWith('.')))
        return;
    FileStatus st;
    QByteArray target;
    int error = m_io.statAt(kWholePath, source, st);
    if (error == 0)
        error = m_io.readLink(source, target);
    if (error != 0) {
        openFailed(error, source);
        return;
    }
    if (m_state.settings.CopyOnlyNewer && upToDate({kWholePath, destination}, st))
        return;
    // The link itself is recreated, never followed.
    QByteArray temporary;
    if ((error = m_io.createTemporaryLink(platform::folderOf(destination), target, temporary)) !=
        0) {
        createFailed(error, destination);
        return;
    }
    m_io.setLinkTime(temporary, st.lastWrite);
    if ((error = m_io.replace(temporary, destination)) != 0) {
        m_io.remove(temporary);
        createFailed(error, destination);
        return;
    }
    fileCopied(destination, 0);
}

void TreeWalk::fileCopied(const QByteArray& destination, int64_t bytes) {
    RunState& run = m_state.run;
    run.ByteTotal += bytes;
    UpdateProgressCaption(m_state, m_port.view);
    ++run.FilesCopied;
    run.WorkList << shown(destination);
}

void TreeWalk::MeasureFile(const QByteArray& source, const QByteArray& destination) {
    measure({kWholePath, source}, {kWholePath, destination}, platform::folderOf(source),
            nameOf(source), false);
}

void TreeWalk::measure(At source, At destination, const QByteArray& folder, const QByteArray& name,
                       bool link) {
    RunState& run = m_state.run;
    if (aborted())
        return;
    ++run.FilesExamined;
    const Settings& s = m_state.settings;
    if ((!s.CopyHidden && name.startsWith('.')) ||
        (!s.CopySystem && passedOver(platform::joinPath(folder, name), false)))
        return;
    // Asked rather than opened: a scan looks at thousands of files and reads none.
    FileStatus st;
    if (m_io.statAt(source.folder, source.name, st) != 0 ||
        (!link && m_io.checkReadable(source.folder, source.name, st) != 0)) {
        ++run.RunErrors;
        return;
    }
    if ((st.type == EntryType::Symlink) != link || (!link && st.type != EntryType::File))
        return; // changed since the folder was listed
    if (upToDate(destination, st))
        return;
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
