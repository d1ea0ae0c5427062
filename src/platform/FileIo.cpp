#include "platform/FileIo.h"

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
constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr uint32_t kStoredBits = 4 | 32; // system, archive

uint32_t parseDosBits(char* text, ssize_t length) {
    if (length <= 0)
        return 0;
    text[length] = 0;
    return uint32_t(std::strtoul(text, nullptr, 0)) & kStoredBits;
}

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

std::optional<int64_t> PosixFileIo::freeSpace(const QByteArray& path) {
    return platform::freeSpace(QFile::decodeName(path));
}

FileIo& posixFileIo() {
    static PosixFileIo io;
    return io;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

int createTemporaryLink(const QByteArray& folder, const QByteArray& target, QByteArray& path) {
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

int readLink(const QByteArray& path, QByteArray& target) {
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

uint32_t storedDosBits(const QByteArray& path) {
    char text[64];
    return parseDosBits(text, lgetxattr(path.constData(), kDosAttrib, text, sizeof(text) - 1));
}

uint32_t storedDosBits(int fd) {
    char text[64];
    return parseDosBits(text, fgetxattr(fd, kDosAttrib, text, sizeof(text) - 1));
}

int finishCopy(int fd, uint32_t dosBits, unsigned mode, const timespec& time) {
    // The extended attribute first: writing it needs write permission, which a
    // read-only mode would take away.
    if (dosBits != 0) {
        char text[16];
        std::snprintf(text, sizeof(text), "0x%X", dosBits);
        if (fsetxattr(fd, kDosAttrib, text, std::strlen(text), 0) != 0 && errno != ENOTSUP)
            return errno;
    }
    if (fchmod(fd, mode_t(mode)) != 0)
        return errno;
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return futimens(fd, times) == 0 ? 0 : errno;
}

} // namespace quorvia::platform
