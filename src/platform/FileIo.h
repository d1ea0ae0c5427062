#pragma once

#include "platform/FileSystem.h"
#include "platform/LateRelease.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

// Every file-system call of a run, behind an interface so that tests can inject
// the faults a real disk only shows now and then (a full disk, a write or read
// error after some bytes, a folder that cannot be made, a file changed while
// it is read, a file system that refuses modes or times).
//
// Names are looked up inside open folders: below the roots of a run no path is
// resolved again, so a link put in place of a folder is never passed through.
namespace quorvia::platform {

// kWholePath takes the name as a whole path (links in it followed, as the user
// named it); kNoFolder is a folder that is not there (every look-up fails).
inline constexpr int kWholePath = -100; // AT_FDCWD
inline constexpr int kNoFolder = -1;

// The engine's temporary files: ".quorvia." and six letters or digits.
bool isTemporaryName(const QByteArray& name);

class FileIo {
public:
    virtual ~FileIo() = default;

    // Each returns 0 or errno.
    // Opens a file for reading (a link is not followed) and tells its status.
    virtual int openForReading(int folder, const QByteArray& name, int& fd, FileStatus& status) = 0;
    // Creates a new, empty file under a temporary name in `folder`, for a copy.
    virtual int createTemporary(int folder, QByteArray& name, int& fd) = 0;
    // Creates a new, empty file in `folder` that has no name yet (and so
    // vanishes by itself should the run be killed). EOPNOTSUPP, EISDIR or
    // EINVAL where the file system cannot.
    virtual int createUnnamed(int folder, int& fd) = 0;
    // Gives an unnamed file its name; EEXIST when that is taken.
    virtual int linkUnnamed(int fd, int folder, const QByteArray& name) = 0;
    // `got` is 0 at the end of the file.
    virtual int read(int fd, char* buffer, size_t size, size_t& got) = 0;
    // Writes all of `data` unless an error comes first; `written` tells how much went.
    virtual int write(int fd, const char* data, size_t size, size_t& written) = 0;
    // Copies up to `size` bytes from `in` to `out` inside the kernel, both at their
    // current offsets; `moved` is 0 at the end of `in`. ENOSYS, EXDEV, EINVAL or
    // EOPNOTSUPP when the pair cannot be copied that way.
    virtual int copyRange(int in, int out, size_t size, size_t& moved) = 0;
    // The run of data at or after `from`: [start, end); start is -1 when only a
    // hole is left. EINVAL or ENOTSUP where holes cannot be asked for.
    virtual int findData(int fd, int64_t from, int64_t& start, int64_t& end) = 0;
    virtual int seek(int fd, int64_t offset) = 0;
    // Sets the length (a trailing hole).
    virtual int setSize(int fd, int64_t size) = 0;
    virtual int close(int fd) = 0;
    // Moves `from` over `to` in one step, replacing a file or link there (never
    // what a link points to).
    virtual int replace(int folder, const QByteArray& from, const QByteArray& to) = 0;
    // Removes a file or link (never a folder).
    virtual int remove(int folder, const QByteArray& name) = 0;

    // Folders: made one at a time; opened only for looking names up in them.
    virtual int makeFolder(int folder, const QByteArray& name) = 0;
    // Inside an open folder a link is refused (ELOOP or ENOTDIR).
    virtual int openFolder(int folder, const QByteArray& name, int& fd) = 0;
    // The names in `folder` that have the temporary files' form.
    virtual int listTemporaries(int folder, std::vector<QByteArray>& names) = 0;
    // Every name in `folder` but "." and "..", spelt as the folder holds it.
    virtual int listNames(int folder, std::vector<QByteArray>& names) = 0;
    // Status of `name` in an open folder; links not followed.
    virtual int statAt(int folder, const QByteArray& name, FileStatus& status) = 0;
    virtual int statOpen(int fd, FileStatus& status) = 0;
    // Whether this user may read the file (0, or EACCES and the like).
    virtual int checkReadable(int folder, const QByteArray& name, const FileStatus& status) = 0;

    // Links: read, and made under a temporary name in `folder`.
    virtual int readLink(int folder, const QByteArray& name, QByteArray& target) = 0;
    virtual int createTemporaryLink(int folder, const QByteArray& target, QByteArray& name) = 0;
    virtual int setLinkTime(int folder, const QByteArray& name, const timespec& time) = 0;

    // The system and archive bits kept in user.DOSATTRIB (0 where there are none).
    virtual uint32_t dosBits(const QByteArray& path) = 0;
    virtual uint32_t dosBits(int fd) = 0;
    // The attributes of a freshly written copy, set on its descriptor in this
    // order: the system and archive bits, the permission bits, the last-write time.
    virtual int setDosBits(int fd, uint32_t bits) = 0;
    virtual int setMode(int fd, unsigned mode) = 0;
    virtual int setTime(int fd, const timespec& time) = 0;

    // Free bytes for the user on the volume of `path`.
    virtual int freeSpace(const QByteArray& path, int64_t& bytes) = 0;
    // Drives: whether a folder is there (links followed) and whether it is mounted.
    virtual bool isFolder(const QByteArray& path) = 0;
    virtual bool isMountPoint(const QByteArray& path) = 0;
    virtual int folderOverlap(const QByteArray& source, const QByteArray& destination,
                              FolderOverlap& overlap) = 0;
    // The mount folder of the file system that holds `path`, or would hold it.
    virtual QByteArray mountFolderOf(const QByteArray& path) = 0;

    // Returns once work left behind (the old files replace() let go) is done:
    // at the end of a walk, before the destination may be unmounted.
    virtual void settle() {}
};

class PosixFileIo : public FileIo {
public:
    int openForReading(int folder, const QByteArray& name, int& fd, FileStatus& status) override;
    int createTemporary(int folder, QByteArray& name, int& fd) override;
    int createUnnamed(int folder, int& fd) override;
    int linkUnnamed(int fd, int folder, const QByteArray& name) override;
    int read(int fd, char* buffer, size_t size, size_t& got) override;
    int write(int fd, const char* data, size_t size, size_t& written) override;
    int copyRange(int in, int out, size_t size, size_t& moved) override;
    int findData(int fd, int64_t from, int64_t& start, int64_t& end) override;
    int seek(int fd, int64_t offset) override;
    int setSize(int fd, int64_t size) override;
    int close(int fd) override;
    int replace(int folder, const QByteArray& from, const QByteArray& to) override;
    int remove(int folder, const QByteArray& name) override;
    int makeFolder(int folder, const QByteArray& name) override;
    int openFolder(int folder, const QByteArray& name, int& fd) override;
    int listTemporaries(int folder, std::vector<QByteArray>& names) override;
    int listNames(int folder, std::vector<QByteArray>& names) override;
    int statAt(int folder, const QByteArray& name, FileStatus& status) override;
    int statOpen(int fd, FileStatus& status) override;
    int checkReadable(int folder, const QByteArray& name, const FileStatus& status) override;
    int readLink(int folder, const QByteArray& name, QByteArray& target) override;
    int createTemporaryLink(int folder, const QByteArray& target, QByteArray& name) override;
    int setLinkTime(int folder, const QByteArray& name, const timespec& time) override;
    uint32_t dosBits(const QByteArray& path) override;
    uint32_t dosBits(int fd) override;
    int setDosBits(int fd, uint32_t bits) override;
    int setMode(int fd, unsigned mode) override;
    int setTime(int fd, const timespec& time) override;
    int freeSpace(const QByteArray& path, int64_t& bytes) override;
    bool isFolder(const QByteArray& path) override;
    bool isMountPoint(const QByteArray& path) override;
    int folderOverlap(const QByteArray& source, const QByteArray& destination,
                      FolderOverlap& overlap) override;
    QByteArray mountFolderOf(const QByteArray& path) override;
    void settle() override;

private:
    // After ENOSPC: whether space still held by replaced files came back.
    bool spaceReleased();
    std::unique_ptr<LateRelease> m_late;
    uint32_t m_user = currentUser();
    bool m_linkByProc = false; // the kernel refuses to link a descriptor itself
    bool m_procFds = true;     // and /proc names descriptors
    static uint32_t currentUser();
};

// The program's own instance (it holds no state that matters to callers).
FileIo& posixFileIo();

} // namespace quorvia::platform
