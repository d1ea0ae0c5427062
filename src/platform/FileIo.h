#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>

// The byte-level calls of a copy and the free-space query, behind an interface
// so that tests can inject the faults a real disk only shows now and then
// (a full disk, a write or read error after some bytes).
namespace quorvia::platform {

class FileIo {
public:
    virtual ~FileIo() = default;

    // Each returns 0 or errno.
    // Opens a regular file for reading; links are not followed.
    virtual int openForReading(const QByteArray& path, int& fd) = 0;
    // Creates a new, empty, hidden file in `folder` for a copy to be written into.
    virtual int createTemporary(const QByteArray& folder, QByteArray& path, int& fd) = 0;
    // `got` is 0 at the end of the file.
    virtual int read(int fd, char* buffer, size_t size, size_t& got) = 0;
    // Writes all of `data` unless an error comes first; `written` tells how much went.
    virtual int write(int fd, const char* data, size_t size, size_t& written) = 0;
    // Copies up to `size` bytes from `in` to `out` inside the kernel, both at their
    // current offsets; `moved` is 0 at the end of `in`. ENOSYS, EXDEV, EINVAL or
    // EOPNOTSUPP when the pair cannot be copied that way.
    virtual int copyRange(int in, int out, size_t size, size_t& moved) = 0;
    virtual int close(int fd) = 0;
    // Moves `from` over `to` in one step, replacing a file or link there.
    virtual int replace(const QByteArray& from, const QByteArray& to) = 0;
    virtual int remove(const QByteArray& path) = 0;

    // Free bytes for the user on the volume of `path`; nullopt when it cannot be asked.
    virtual std::optional<int64_t> freeSpace(const QByteArray& path) = 0;
};

class PosixFileIo : public FileIo {
public:
    int openForReading(const QByteArray& path, int& fd) override;
    int createTemporary(const QByteArray& folder, QByteArray& path, int& fd) override;
    int read(int fd, char* buffer, size_t size, size_t& got) override;
    int write(int fd, const char* data, size_t size, size_t& written) override;
    int copyRange(int in, int out, size_t size, size_t& moved) override;
    int close(int fd) override;
    int replace(const QByteArray& from, const QByteArray& to) override;
    int remove(const QByteArray& path) override;
    std::optional<int64_t> freeSpace(const QByteArray& path) override;
};

// The program's own instance (it holds no state).
FileIo& posixFileIo();

// The folder part of a path ("." when it has none).
QByteArray folderOf(const QByteArray& path);

// Creates a symbolic link to `target` under a new hidden name in `folder`.
int createTemporaryLink(const QByteArray& folder, const QByteArray& target, QByteArray& path);
// The target of a symbolic link.
int readLink(const QByteArray& path, QByteArray& target);

// The system and archive bits kept in user.DOSATTRIB (0 where there are none).
uint32_t storedDosBits(const QByteArray& path);
uint32_t storedDosBits(int fd);

// Attributes of a freshly written copy, on its open descriptor: the system and
// archive bits, then the permission bits, then the last-write time.
int finishCopy(int fd, uint32_t dosBits, unsigned mode, const timespec& time);

} // namespace quorvia::platform
