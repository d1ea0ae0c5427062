#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <ctime>

// Every file-system call of a run, behind an interface so that tests can inject
// the faults a real disk only shows now and then (a full disk, a write or read
// error after some bytes, a folder that cannot be made).
namespace quorvia::platform {

// Names looked up inside an open folder; kWholePath takes the name as a path.
inline constexpr int kWholePath = -100; // AT_FDCWD
// A folder that is not there: every look-up in it fails with ENOENT.
inline constexpr int kNoFolder = -1;

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

    // Folders: made one at a time; opened only for looking names up in them.
    virtual int makeFolder(const QByteArray& path) = 0;
    virtual int openFolder(const QByteArray& path, int& fd) = 0;
    // Status of `name` in an open folder (or kWholePath, kNoFolder); links not followed.
    virtual int statAt(int folder, const QByteArray& name, FileStatus& status) = 0;
    virtual int statOpen(int fd, FileStatus& status) = 0;
    // Whether this user may read the file (0, or EACCES and the like).
    virtual int checkReadable(int folder, const QByteArray& name, const FileStatus& status) = 0;

    // Links: read, and made under a new hidden name in `folder`.
    virtual int readLink(const QByteArray& path, QByteArray& target) = 0;
    virtual int createTemporaryLink(const QByteArray& folder, const QByteArray& target,
                                    QByteArray& path) = 0;
    virtual int setLinkTime(const QByteArray& path, const timespec& time) = 0;

    // The system and archive bits kept in user.DOSATTRIB (0 where there are none).
    virtual uint32_t dosBits(const QByteArray& path) = 0;
    virtual uint32_t dosBits(int fd) = 0;
    // Attributes of a freshly written copy, on its open descriptor: the system and
    // archive bits, then the permission bits, then the last-write time.
    virtual int finishCopy(int fd, uint32_t dosBits, unsigned mode, const timespec& time) = 0;

    // Free bytes for the user on the volume of `path`.
    virtual int freeSpace(const QByteArray& path, int64_t& bytes) = 0;
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
    int makeFolder(const QByteArray& path) override;
    int openFolder(const QByteArray& path, int& fd) override;
    int statAt(int folder, const QByteArray& name, FileStatus& status) override;
    int statOpen(int fd, FileStatus& status) override;
    int checkReadable(int folder, const QByteArray& name, const FileStatus& status) override;
    int readLink(const QByteArray& path, QByteArray& target) override;
    int createTemporaryLink(const QByteArray& folder, const QByteArray& target,
                            QByteArray& path) override;
    int setLinkTime(const QByteArray& path, const timespec& time) override;
    uint32_t dosBits(const QByteArray& path) override;
    uint32_t dosBits(int fd) override;
    int finishCopy(int fd, uint32_t dosBits, unsigned mode, const timespec& time) override;
    int freeSpace(const QByteArray& path, int64_t& bytes) override;

private:
    uint32_t m_user = currentUser();
    static uint32_t currentUser();
};

// The program's own instance (it holds no state that changes).
FileIo& posixFileIo();

} // namespace quorvia::platform
