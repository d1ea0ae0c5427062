#include "platform/FileIo.h"

#include "platform/DosAttributes.h"
#include "platform/Volumes.h"

#include <QFile>
#include <QRandomGenerator>
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
constexpr const char* kTempPrefix = ".quorvia.";
QByteArray randomName() {
    char text[24];
    std::snprintf(text, sizeof(text), "%s%08x", kTempPrefix,
                  QRandomGenerator::global()->generate());
    return text;
}
} // namespace

// Non-blocking, so that a FIFO put in place of a file cannot stall the run.
int PosixFileIo::openForReading(const QByteArray& path, int& fd) {
    fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // only a hint
    return 0;
}

int PosixFileIo::createTemporary(const QByteArray& folder, QByteArray& path, int& fd) {
    QByteArray pattern = folder;
    if (!pattern.endsWith('/'))
        pattern += '/';
    pattern += kTempPrefix;
    pattern += "XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    path = pattern;
    return 0;
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
            if (errno == EINTR)
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
        if (errno != EINTR) {
            moved = 0;
            return errno;
        }
    }
}

int PosixFileIo::close(int fd) {
    // Linux releases the descriptor even when close reports an error: never retry.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int PosixFileIo::replace(const QByteArray& from, const QByteArray& to) {
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

int PosixFileIo::remove(const QByteArray& path) {
    return ::unlink(path.constData()) == 0 ? 0 : errno;
}

int PosixFileIo::freeSpace(const QByteArray& path, int64_t& bytes) {
    return platform::freeSpace(QFile::decodeName(path), bytes);
}

int PosixFileIo::makeFolder(const QByteArray& path) {
    return platform::makeFolder(path);
}

int PosixFileIo::openFolder(const QByteArray& path, int& fd) {
    fd = ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 ? 0 : errno;
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
    return ::faccessat(folder, name.constData(), R_OK, AT_EACCESS) == 0 ? 0 : errno;
}

int PosixFileIo::setLinkTime(const QByteArray& path, const timespec& time) {
    return setLastWriteTime(path, time);
}

FileIo& posixFileIo() {
    static PosixFileIo io;
    return io;
}

int PosixFileIo::createTemporaryLink(const QByteArray& folder, const QByteArray& target,
                                     QByteArray& path) {
    const QByteArray base = folder.endsWith('/') ? folder : folder + '/';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = base + randomName();
        if (::symlink(target.constData(), candidate.constData()) == 0) {
            path = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int PosixFileIo::readLink(const QByteArray& path, QByteArray& target) {
    QByteArray buffer(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink(path.constData(), buffer.data(), size_t(buffer.size()));
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

int PosixFileIo::finishCopy(int fd, uint32_t bits, unsigned mode, const timespec& time) {
    // The extended attribute first: writing it needs write permission, which a
    // read-only mode would take away.
    if (bits != 0)
        if (const int error = writeDosBits(fd, bits))
            return error;
    if (fchmod(fd, mode_t(mode)) != 0)
        return errno;
    return setLastWriteTime(fd, time);
}

} // namespace quorvia::platform
