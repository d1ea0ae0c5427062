#include "platform/FileIo.h"

#include "platform/DosAttributes.h"
#include "platform/Volumes.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace quorvia::platform {

namespace {

constexpr char kTempPrefix[] = ".quorvia.";
constexpr qsizetype kTempPrefixLength = sizeof(kTempPrefix) - 1;
constexpr qsizetype kTempRandomLength = 6;
constexpr char kLettersAndDigits[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Always a capital after the lower-case prefix: a file system that lists
// names in a spelling of its own shows it on every temporary name.
QByteArray randomName() {
    QByteArray name(kTempPrefix);
    quint64 bits = QRandomGenerator::global()->generate64();
    name += kLettersAndDigits[bits % 26];
    bits /= 26;
    for (qsizetype i = 1; i < kTempRandomLength; ++i, bits /= 62)
        name += kLettersAndDigits[bits % 62];
    return name;
}

constexpr int64_t kSequentialHintFrom = 1 << 20;

bool isLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Tries fresh temporary names until `make` does not find one taken.
template <typename Make> int underNewName(QByteArray& name, Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = randomName();
        if (make(candidate) == 0) {
            name = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// File systems that give a file's blocks or pages back on this machine when
// its last reference goes, which may wait for the disk. Elsewhere holding the
// old file on only costs: an NFS client keeps a busy file under a hidden name
// until it is closed, and a FUSE server frees it at the rename anyway.
bool freesOnLastClose(int folder) {
    struct statfs fs {};
    if (::fstatfs(folder, &fs) != 0)
        return false;
    switch (fs.f_type) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

int errorOf(int result) {
    return result == 0 ? 0 : errno;
}

} // namespace

bool isTemporaryName(const QByteArray& name) {
    if (name.size() != kTempPrefixLength + kTempRandomLength || !name.startsWith(kTempPrefix))
        return false;
    for (qsizetype i = kTempPrefixLength; i < name.size(); ++i)
        if (!isLetterOrDigit(name[i]))
            return false;
    return true;
}

// Non-blocking, so that a FIFO put in place of a file cannot stall the run.
int PosixFileIo::openForReading(int folder, const QByteArray& name, int& fd, FileStatus& status) {
    fd = ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (const int error = statOpen(fd, status))
        return error;
    // Only a hint, and only worth its call where read-ahead has far to go.
    if (status.size > kSequentialHintFrom)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int PosixFileIo::createTemporary(int folder, QByteArray& name, int& fd) {
    return underNewName(name, [&](const QByteArray& candidate) {
        const auto create = [&] {
            return ::openat(folder, candidate.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        };
        fd = create();
        if (fd < 0 && errno == ENOSPC && spaceReleased())
            fd = create();
        return fd >= 0 ? 0 : -1;
    });
}

int PosixFileIo::createUnnamed(int folder, int& fd) {
    // Without a way to name it later, a file must have a name from the start.
    if (m_linkByProc && !m_procFds)
        return EOPNOTSUPP;
    fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && errno == ENOSPC && spaceReleased())
        fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    return fd >= 0 ? 0 : errno;
}

int PosixFileIo::linkUnnamed(int fd, int folder, const QByteArray& name) {
    // By the descriptor itself where the kernel allows it (root, or any user
    // since Linux 6.10): far cheaper than the look-up of its /proc name.
    if (!m_linkByProc) {
        if (::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
        m_linkByProc = true;
        m_procFds = ::access("/proc/self/fd", X_OK) == 0;
    }
    if (!m_procFds)
        return EOPNOTSUPP;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return errorOf(
        ::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW));
}

int PosixFileIo::read(int fd, char* buffer, size_t size, size_t& got) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            got = size_t(n);
            return 0;
        }
        if (errno != EINTR) {
            got = 0;
            return errno;
        }
    }
}

int PosixFileIo::write(int fd, const char* data, size_t size, size_t& written) {
    written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0) {
            if (errno == EINTR || (errno == ENOSPC && spaceReleased()))
                continue;
            return errno;
        }
        if (n == 0)
            return EIO; // a write that moves nothing would loop for ever
        written += size_t(n);
    }
    return 0;
}

int PosixFileIo::copyRange(int in, int out, size_t size, size_t& moved) {
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size, 0);
        if (n >= 0) {
            moved = size_t(n);
            return 0;
        }
        if (errno != EINTR && !(errno == ENOSPC && spaceReleased())) {
            moved = 0;
            return errno;
        }
    }
}

int PosixFileIo::findData(int fd, int64_t from, int64_t& start, int64_t& end) {
    const off_t data = ::lseek(fd, off_t(from), SEEK_DATA);
    if (data < 0) {
        if (errno != ENXIO)
            return errno;
        start = end = -1; // nothing but a hole up to the end
        return 0;
    }
    const off_t hole = ::lseek(fd, data, SEEK_HOLE);
    if (hole < 0)
        return errno;
    start = int64_t(data);
    end = int64_t(hole);
    return 0;
}

int PosixFileIo::seek(int fd, int64_t offset) {
    return ::lseek(fd, off_t(offset), SEEK_SET) < 0 ? errno : 0;
}

int PosixFileIo::setSize(int fd, int64_t size) {
    return errorOf(::ftruncate(fd, off_t(size)));
}

int PosixFileIo::close(int fd) {
    // Linux releases the descriptor even when close reports an error: never retry.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int PosixFileIo::replace(int folder, const QByteArray& from, const QByteArray& to) {
    // Held over the rename, the old file is let go on the release thread.
    const int old = freesOnLastClose(folder)
                        ? ::openat(folder, to.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC)
                        : -1;
    const int error = errorOf(::renameat(folder, from.constData(), folder, to.constData()));
    if (old >= 0 && error == 0) {
        if (!m_late)
            m_late = std::make_unique<LateRelease>();
        m_late->hand(old);
    } else if (old >= 0) {
        ::close(old);
    }
    return error;
}

void PosixFileIo::settle() {
    if (m_late)
        m_late->settle();
}

bool PosixFileIo::spaceReleased() {
    return m_late && m_late->settle();
}

int PosixFileIo::remove(int folder, const QByteArray& name) {
    return errorOf(::unlinkat(folder, name.constData(), 0));
}

int PosixFileIo::freeSpace(const QByteArray& path, int64_t& bytes) {
    return platform::freeSpace(QFile::decodeName(path), bytes);
}

bool PosixFileIo::isFolder(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileIo::isMountPoint(const QByteArray& path) {
    return platform::isMountPoint(path);
}

int PosixFileIo::folderOverlap(const QByteArray& source, const QByteArray& destination,
                               FolderOverlap& overlap) {
    return platform::folderOverlap(source, destination, overlap);
}

QByteArray PosixFileIo::mountFolderOf(const QByteArray& path) {
    return QFile::encodeName(platform::mountFolderOf(QFile::decodeName(path)));
}

int PosixFileIo::makeFolder(int folder, const QByteArray& name) {
    return errorOf(::mkdirat(folder, name.constData(), 0777));
}

int PosixFileIo::openFolder(int folder, const QByteArray& name, int& fd) {
    if (folder == kNoFolder) {
        fd = kNoFolder;
        return ENOENT;
    }
    const int noFollow = folder == kWholePath ? 0 : O_NOFOLLOW;
    fd = ::openat(folder, name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC | noFollow);
    return fd >= 0 ? 0 : errno;
}

namespace {

// Lists an open folder, keeping the names `keep` takes.
template <typename Keep> int listFolder(int folder, std::vector<QByteArray>& names, Keep keep) {
    names.clear();
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    while (const dirent* d = readdir(dir))
        if (keep(d->d_name))
            names.emplace_back(d->d_name);
    closedir(dir);
    return 0;
}

} // namespace

int PosixFileIo::listTemporaries(int folder, std::vector<QByteArray>& names) {
    // Cheap test first: a large folder holds many names and rarely one of these.
    return listFolder(folder, names, [](const char* name) {
        return name[0] == '.' && name[1] == 'q' && isTemporaryName(name);
    });
}

int PosixFileIo::listNames(int folder, std::vector<QByteArray>& names) {
    return listFolder(folder, names, [](const char* name) {
        return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
    });
}

int PosixFileIo::statAt(int folder, const QByteArray& name, FileStatus& status) {
    if (folder == kNoFolder)
        return ENOENT;
    struct stat st {};
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    status = toFileStatus(st);
    return 0;
}

int PosixFileIo::statOpen(int fd, FileStatus& status) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    status = toFileStatus(st);
    return 0;
}

uint32_t PosixFileIo::currentUser() {
    return uint32_t(::geteuid());
}

int PosixFileIo::checkReadable(int folder, const QByteArray& name, const FileStatus& status) {
    if (status.owner == m_user && status.ownerCanRead())
        return 0; // the owner's read bit decides for the owner
    return errorOf(::faccessat(folder, name.constData(), R_OK, AT_EACCESS));
}

int PosixFileIo::setLinkTime(int folder, const QByteArray& name, const timespec& time) {
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return errorOf(::utimensat(folder, name.constData(), times, AT_SYMLINK_NOFOLLOW));
}

FileIo& posixFileIo() {
    static PosixFileIo io;
    return io;
}

int PosixFileIo::createTemporaryLink(int folder, const QByteArray& target, QByteArray& name) {
    return underNewName(name, [&](const QByteArray& candidate) {
        return ::symlinkat(target.constData(), folder, candidate.constData());
    });
}

int PosixFileIo::readLink(int folder, const QByteArray& name, QByteArray& target) {
    QByteArray buffer(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t n =
            ::readlinkat(folder, name.constData(), buffer.data(), size_t(buffer.size()));
        if (n < 0)
            return errno;
        if (n < buffer.size()) {
            target = buffer.left(n);
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

uint32_t PosixFileIo::dosBits(const QByteArray& path) {
    return readDosBits(path);
}

uint32_t PosixFileIo::dosBits(int fd) {
    return readDosBits(fd);
}

int PosixFileIo::setDosBits(int fd, uint32_t bits) {
    return bits == 0 ? 0 : writeDosBits(fd, bits); // a fresh copy has none to remove
}

int PosixFileIo::setMode(int fd, unsigned mode) {
    return errorOf(::fchmod(fd, mode_t(mode)));
}

int PosixFileIo::setTime(int fd, const timespec& time) {
    return setLastWriteTime(fd, time);
}

} // namespace quorvia::platform
