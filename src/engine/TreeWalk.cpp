#include "engine/TreeWalk.h"

#include "app/Alerts.h"
#include "engine/RunProgress.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace quorvia {

using platform::AttrArchive;
using platform::AttrSystem;

namespace {

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString errorText(int error) {
    return "Error (" + QString::number(error) + ") ";
}

QByteArray nameOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
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
    int fd;
    explicit OpenFolder(const QByteArray& path)
        : fd(path.isEmpty() ? -1 : ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~OpenFolder() {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
};

} // namespace

TreeWalk::TreeWalk(AppState& state, UserPort& port, platform::FileIo& io)
    : state_(state), port_(port), io_(io), user_(::geteuid()) {}

void TreeWalk::WalkTree(const QByteArray& sourceRoot, const QByteArray& destinationRoot) {
    QByteArray source = sourceRoot;
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    QByteArray destination = destinationRoot;
    if (!destination.endsWith('/'))
        destination += '/';
    if (!state_.run.SizeScanMode)
        ::mkdir(destination.constData(), 0777);
    // A destination inside the source must not be walked into itself.
    struct stat st {};
    haveRoot_ = ::stat(destination.constData(), &st) == 0;
    rootDevice_ = st.st_dev;
    rootInode_ = st.st_ino;
    WalkFolder(source, destination);
}

void TreeWalk::WalkFolder(const QByteArray& folder, const QByteArray& destinationFolder) {
    RunState& run = state_.run;
    const bool scan = run.SizeScanMode;
    if (!scan)
        ::mkdir(destinationFolder.constData(), 0777); // a failure shows in the files' errors
    ++run.FolderCount;
    if (!scan)
        run.WorkList << "FOLDER -> " + shown(destinationFolder);

    platform::DirReader reader;
    const int error = reader.open(folder);
    if (error != 0) {
        folderFailed(error, folder);
    } else {
        // The scan looks names up inside open folders, far cheaper than whole paths.
        const OpenFolder from(scan ? folder : QByteArray());
        const OpenFolder to(scan ? destinationFolder : QByteArray());
        platform::DirEntry entry;
        for (bool first = true;; first = false) {
            if (!first)
                port_.processPendingMessages();
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
    using platform::EntryType;
    const QByteArray& name = entry.name;
    if (name == "." || name == ".." || entry.type == EntryType::Special)
        return; // FIFOs, sockets and devices are not backed up; opening a FIFO would hang
    if (state_.run.SizeScanMode && entry.type != EntryType::Directory) {
        // No whole paths here unless a folder could not be opened.
        const QByteArray source = openSource >= 0 ? QByteArray() : platform::joinPath(folder, name);
        const At from = openSource >= 0 ? At{openSource, name} : At{AT_FDCWD, source};
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
    const Settings& s = state_.settings;
    if (hidden && !s.CopyHidden)
        return true;
    return !s.CopySystem && (platform::storedDosBits(path) & AttrSystem);
}

bool TreeWalk::isDestinationRoot(const QByteArray& folder) const {
    if (!haveRoot_)
        return false;
    struct stat st {};
    return ::lstat(folder.constData(), &st) == 0 && st.st_dev == rootDevice_ &&
           st.st_ino == rootInode_;
}

bool TreeWalk::upToDate(At destination, const struct stat& source) const {
    struct stat target {};
    if (destination.folder == -1 || ::fstatat(destination.folder, destination.name.constData(),
                                              &target, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (state_.settings.CopyOnlyNewer)
        return platform::dosDateTime(target.st_mtim) >= platform::dosDateTime(source.st_mtim);
    // Only the size scan gets here with CopyOnlyNewer off: the copy itself always copies.
    return target.st_size == source.st_size;
}

void TreeWalk::CopyOneFile(const QByteArray& source, const QByteArray& destination) {
    if (aborted() || passedOver(source, nameOf(source).startsWith('.')))
        return;

    Descriptor input{io_};
    if (const int error = io_.openForReading(source, input.fd)) {
        openFailed(error, source);
        return;
    }
    struct stat st {};
    if (::fstat(input.fd, &st) != 0) {
        openFailed(errno, source);
        return;
    }
    if (!S_ISREG(st.st_mode))
        return; // replaced by a special file since the folder was listed
    if (state_.settings.CopyOnlyNewer && upToDate({AT_FDCWD, destination}, st))
        return;

    uint32_t dosBits = platform::storedDosBits(input.fd);
    if (state_.settings.ResetArchiveFlag)
        dosBits &= ~uint32_t(AttrArchive);

    // The copy is written beside the destination and moved over it only when
    // complete: an abort or failure leaves the old destination as it was.
    Temporary copy{io_, {}};
    if (const int error =
            io_.createTemporary(platform::folderOf(destination), copy.path, copy.file.fd)) {
        createFailed(error, destination);
        return;
    }

    int64_t copied = 0;
    if (!copyBytes(input.fd, copy.file.fd, source, destination, copied))
        return; // the old destination stays as it was

    // Set-user and set-group bits are not carried: the copy has another owner.
    int error = platform::finishCopy(copy.file.fd, dosBits, st.st_mode & 0777, st.st_mtim);
    if (const int closeError = copy.file.release(); error == 0)
        error = closeError;
    if (error != 0) {
        writeFailed(error, destination);
        return;
    }
    if (const int error = io_.replace(copy.path, destination)) {
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
        port_.processPendingMessages();
        if (aborted())
            break;
        size_t got = 0;
        if (inKernel) {
            const int error = io_.copyRange(input, output, StepSize, got);
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
            buffer_.resize(BlockSize);
            if (const int error = io_.read(input, buffer_.data(), BlockSize, got)) {
                readFailed(error, source);
                return false;
            }
            size_t written = 0;
            if (const int error = io_.write(output, buffer_.data(), got, written)) {
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
    struct stat st {};
    QByteArray target;
    int error = ::lstat(source.constData(), &st) == 0 ? 0 : errno;
    if (error == 0)
        error = platform::readLink(source, target);
    if (error != 0) {
        openFailed(error, source);
        return;
    }
    if (state_.settings.CopyOnlyNewer && upToDate({AT_FDCWD, destination}, st))
        return;
    // The link itself is recreated, never followed.
    QByteArray temporary;
    if (const int error =
            platform::createTemporaryLink(platform::folderOf(destination), target, temporary)) {
        createFailed(error, destination);
        return;
    }
    platform::setLastWriteTime(temporary, st.st_mtim);
    if (const int error = io_.replace(temporary, destination)) {
        io_.remove(temporary);
        createFailed(error, destination);
        return;
    }
    fileCopied(destination, 0);
}

void TreeWalk::fileCopied(const QByteArray& destination, int64_t bytes) {
    RunState& run = state_.run;
    run.ByteTotal += bytes;
    UpdateProgressCaption(state_, port_);
    ++run.FilesCopied;
    run.WorkList << shown(destination);
}

void TreeWalk::MeasureFile(const QByteArray& source, const QByteArray& destination) {
    measure({AT_FDCWD, source}, {AT_FDCWD, destination}, platform::folderOf(source), nameOf(source),
            false);
}

void TreeWalk::measure(At source, At destination, const QByteArray& folder, const QByteArray& name,
                       bool link) {
    RunState& run = state_.run;
    if (aborted())
        return;
    ++run.FilesExamined;
    const Settings& s = state_.settings;
    if ((!s.CopyHidden && name.startsWith('.')) ||
        (!s.CopySystem && passedOver(platform::joinPath(folder, name), false)))
        return;
    // Asked rather than opened: a scan looks at thousands of files and reads none.
    struct stat st {};
    if (::fstatat(source.folder, source.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        (!link && !readable(source, st))) {
        ++run.RunErrors;
        return;
    }
    if (S_ISLNK(st.st_mode) != link || (!link && !S_ISREG(st.st_mode)))
        return; // changed since the folder was listed
    if (upToDate(destination, st))
        return;
    if (!link)
        run.ByteTotal += st.st_size; // a link adds no bytes of its own
    ++run.FilesFound;
}

bool TreeWalk::readable(At source, const struct stat& st) const {
    if (st.st_uid == user_ && (st.st_mode & S_IRUSR))
        return true; // the owner's read bit decides for the owner
    return ::faccessat(source.folder, source.name.constData(), R_OK, AT_EACCESS) == 0;
}

void TreeWalk::askAbortOrIgnore(const QString& message) {
    BeepIfSoundOn(port_, state_.settings);
    if (port_.askAbortIgnore(message) == AbortIgnore::Abort)
        state_.flags.AbortRequested = true;
    ++state_.run.RunErrors;
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
    if (state_.run.SizeScanMode)
        ++state_.run.RunErrors;
    else
        askAbortOrIgnore(errorText(error) + "Could Not Open Folder: " + shown(folder));
}

void TreeWalk::writeFailed(int error, const QByteArray& destination) {
    const bool full = platform::classifyError(error) == platform::ErrorClass::NoSpace;
    const QString message = errorText(error) + (full ? "Destination Full, " : "") +
                            "Could Not Write: " + shown(destination);
    ++state_.run.RunErrors;
    ShowAlert(port_, state_.settings, message, AlertKind::Warning);
    state_.flags.AbortRequested = true;
}

void TreeWalk::reportAbortOnce() {
    RunState& run = state_.run;
    if (!aborted() || run.AbortReported)
        return;
    run.AbortReported = true;
    ShowAlert(port_, state_.settings,
              run.SizeScanMode
                  ? "Quorvia Was Aborted During Size Check, Calculations Will Be Wrong"
                  : "Quorvia Was Aborted During Synch Process, All Files Might Not Be On "
                    "Destination",
              AlertKind::Warning);
}

} // namespace quorvia
