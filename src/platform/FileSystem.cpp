#include "platform/FileSystem.h"

#include "platform/DosAttributes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quorvia::platform {

namespace {
EntryType typeOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryType::File;
    if (S_ISDIR(mode))
        return EntryType::Directory;
    if (S_ISLNK(mode))
        return EntryType::Symlink;
    return EntryType::Special;
}
} // namespace

FileStatus toFileStatus(const struct stat& st) {
    FileStatus status;
    status.type = typeOf(st.st_mode);
    status.size = int64_t(st.st_size);
    status.lastWrite = st.st_mtim;
    status.mode = uint32_t(st.st_mode & 07777);
    status.owner = uint32_t(st.st_uid);
    status.device = uint64_t(st.st_dev);
    status.inode = uint64_t(st.st_ino);
    status.links = uint64_t(st.st_nlink);
    status.changed = st.st_ctim;
    status.allocated = int64_t(st.st_blocks) * 512;
    return status;
}

DirReader::~DirReader() {
    close();
}

int DirReader::open(const QByteArray& folder) {
    close();
    m_dir = opendir(folder.constData());
    return m_dir ? 0 : errno;
}

int DirReader::open(int parent, const QByteArray& name) {
    close();
    const int fd =
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    m_dir = fdopendir(fd);
    if (!m_dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    return 0;
}

int DirReader::fd() const {
    return m_dir ? dirfd(m_dir) : -1;
}

bool DirReader::next(DirEntry& entry) {
    if (!m_dir)
        return false;
    const dirent* d = readdir(m_dir);
    if (!d)
        return false;
    entry.name = QByteArray(d->d_name);
    switch (d->d_type) {
    case DT_REG:
        entry.type = EntryType::File;
        return true;
    case DT_DIR:
        entry.type = EntryType::Directory;
        return true;
    case DT_LNK:
        entry.type = EntryType::Symlink;
        return true;
    case DT_UNKNOWN:
        break;
    default:
        entry.type = EntryType::Special;
        return true;
    }
    // Some file systems do not fill d_type: ask.
    struct stat st {};
    entry.type = fstatat(dirfd(m_dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0
                     ? EntryType::Special
                     : typeOf(st.st_mode);
    return true;
}

void DirReader::close() {
    if (m_dir)
        closedir(m_dir);
    m_dir = nullptr;
}

int readAttributes(const QByteArray& path, uint32_t& attributes) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return errno;
    attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= AttrDirectory;
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
        attributes |= AttrReadOnly;
    const QByteArray name = nameOf(path);
    if (name.startsWith('.') && name != "." && name != "..")
        attributes |= AttrHidden;
    if (!S_ISLNK(st.st_mode))
        attributes |= readDosBits(path);
    return 0;
}

int writeAttributes(const QByteArray& path, uint32_t attributes) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return 0; // links carry no attributes of their own
    const mode_t before = st.st_mode & 07777;
    mode_t mode = before;
    if (attributes & AttrReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;

    const uint32_t bits = attributes & (AttrSystem | AttrArchive);
    if (bits != readDosBits(path)) {
        // The owner needs the write bit to change extended attributes.
        if (!(before & S_IWUSR) && chmod(path.constData(), before | S_IWUSR) != 0)
            return errno;
        if (const int error = writeDosBits(path, bits)) {
            chmod(path.constData(), before);
            return error;
        }
        if (!(before & S_IWUSR))
            st.st_mode |= S_IWUSR; // the mode below is set from here
    }
    if (mode != (st.st_mode & 07777) && chmod(path.constData(), mode) != 0)
        return errno;
    return 0;
}

bool supportsExtendedAttributes(const QByteArray& path) {
    const char* probe = "user.quorvia.probe";
    if (lsetxattr(path.constData(), probe, "1", 1, 0) != 0)
        return false;
    lremovexattr(path.constData(), probe);
    return true;
}

int lastWriteTime(const QByteArray& path, timespec& time) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return errno;
    time = st.st_mtim;
    return 0;
}

int setLastWriteTime(const QByteArray& path, const timespec& time) {
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int setLastWriteTime(int fd, const timespec& time) {
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return futimens(fd, times) == 0 ? 0 : errno;
}

int32_t dosDateTime(const timespec& time) {
    time_t seconds = time.tv_sec;
    struct tm local {};
    if (!localtime_r(&seconds, &local))
        return 0;
    int year = local.tm_year + 1900 - 1980;
    if (year < 0)
        return (0 << 25) | (1 << 21) | (1 << 16); // DOS time cannot go below 1980-01-01
    if (year > 127)
        year = 127;
    const uint32_t date =
        (uint32_t(year) << 9) | (uint32_t(local.tm_mon + 1) << 5) | uint32_t(local.tm_mday);
    const uint32_t clock = (uint32_t(local.tm_hour) << 11) | (uint32_t(local.tm_min) << 5) |
                           uint32_t(local.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | clock);
}

ErrorClass classifyError(int error) {
    switch (error) {
    case 0:
        return ErrorClass::None;
    case ENOENT:
    case ENOTDIR:
        return ErrorClass::NotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case ETXTBSY:
    case EROFS:
        return ErrorClass::ShareViolation;
    case ENOSPC:
    case EDQUOT:
        return ErrorClass::NoSpace;
    case EEXIST:
        return ErrorClass::AlreadyExists;
    case ENOMEDIUM:
        return ErrorClass::DriveNotReady;
    default:
        return ErrorClass::Other;
    }
}

QByteArray joinPath(const QByteArray& folder, const QByteArray& name) {
    if (folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

QByteArray nameOf(const QByteArray& path) {
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf('/');
    return slash < 0 ? p : p.mid(slash + 1);
}

int statPath(const QByteArray& path, FileStatus& status) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return errno;
    status = toFileStatus(st);
    return 0;
}

int makeFolder(const QByteArray& path) {
    return mkdir(path.constData(), 0777) == 0 ? 0 : errno;
}

int readFileHead(const QByteArray& path, qsizetype maxBytes, QByteArray& data) {
    data.clear();
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    data.resize(maxBytes);
    qsizetype got = 0;
    int error = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    data.truncate(got);
    return error;
}

} // namespace quorvia::platform

namespace quorvia::platform {

namespace {

int writeAll(int fd, const QByteArray& data, off_t at) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.constData() + done, size_t(data.size() - done), at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

// A file with further hard links is rewritten where it is, or every other name
// would keep the old contents. Room is reserved first, and a failure puts the
// old bytes (a scheme file is a few hundred) back.
int rewriteInPlace(const QByteArray& path, const QByteArray& data) {
    const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    QByteArray old;
    struct stat st {};
    if (fstat(fd, &st) != 0)
        error = errno;
    if (error == 0 && st.st_size > 0) {
        old.resize(qsizetype(st.st_size));
        const ssize_t n = ::pread(fd, old.data(), size_t(old.size()), 0);
        if (n < 0)
            error = errno;
        else
            old.truncate(n);
    }
    if (error == 0 && data.size() > 0 &&
        fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(data.size())) != 0 && errno != EOPNOTSUPP)
        error = errno;
    bool touched = false;
    if (error == 0) {
        touched = true;
        error = writeAll(fd, data, 0);
        if (error == 0 && ftruncate(fd, off_t(data.size())) != 0)
            error = errno;
        if (error == 0 && fdatasync(fd) != 0)
            error = errno;
    }
    if (error != 0 && touched && writeAll(fd, old, 0) == 0)
        (void)!ftruncate(fd, off_t(old.size()));
    ::close(fd);
    return error;
}

} // namespace

int replaceFileContents(const QByteArray& path, const QByteArray& data) {
    QByteArray target = path;
    struct stat old {};
    bool hadFile = lstat(path.constData(), &old) == 0;
    if (hadFile && S_ISLNK(old.st_mode)) {
        // The scheme file is where the link points; the link stays a link.
        char* real = realpath(path.constData(), nullptr);
        if (!real)
            return errno;
        target = real;
        std::free(real);
        hadFile = lstat(target.constData(), &old) == 0;
    }
    if (hadFile && !(old.st_mode & S_IWUSR))
        return EACCES;
    if (hadFile && S_ISREG(old.st_mode) && old.st_nlink > 1)
        return rewriteInPlace(target, data);

    QByteArray temp = target + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = writeAll(fd, data, 0);
    if (hadFile) {
        // Root may rewrite another user's file: it stays theirs.
        if (old.st_uid != geteuid() || old.st_gid != getegid())
            (void)!fchown(fd, old.st_uid, old.st_gid);
        if (error == 0)
            error = writeDosBits(fd, readDosBits(target));
    }
    if (error == 0 && fchmod(fd, hadFile ? (old.st_mode & 07777) : 0644) != 0)
        error = errno;
    if (error == 0 && fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0)
        unlink(temp.constData());
    return error;
}

int folderOverlap(const QByteArray& source, const QByteArray& destination, FolderOverlap& overlap) {
    overlap = FolderOverlap::None;
    struct stat to {};
    if (stat(destination.constData(), &to) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
    char* real = realpath(source.constData(), nullptr);
    if (!real)
        return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
    QByteArray folder = real;
    std::free(real);
    // Up from the real source folder: meeting the destination on the way means
    // the backup would write into its own source.
    for (bool first = true;; first = false) {
        struct stat st {};
        if (stat(folder.constData(), &st) == 0 && st.st_dev == to.st_dev &&
            st.st_ino == to.st_ino) {
            overlap = first ? FolderOverlap::Same : FolderOverlap::SourceInsideDestination;
            return 0;
        }
        if (folder == "/")
            return 0;
        folder = folderOf(folder);
    }
}

} // namespace quorvia::platform
