#pragma once

#include <QByteArray>
#include <cstdint>
#include <ctime>
#include <dirent.h>

struct stat;

// File-system calls the engine and the scheme files need, on native byte paths.
namespace quorvia::platform {

// DOS attribute bits as the program knows them.
enum Attribute : uint32_t {
    AttrReadOnly = 1,
    AttrHidden = 2,
    AttrSystem = 4,
    AttrVolumeLabel = 8,
    AttrDirectory = 16,
    AttrArchive = 32,
};

enum class EntryType { File, Directory, Symlink, Special };

// What lstat tells of a path, in the program's terms.
struct FileStatus {
    EntryType type = EntryType::File;
    int64_t size = 0;
    timespec lastWrite{};
    uint32_t mode = 0;  // permission bits
    uint32_t owner = 0; // user id
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t links = 1;
    timespec changed{};    // status change (ctime): moves with every write, whatever mtime says
    int64_t allocated = 0; // bytes the file system holds for it; below size where it has holes
    bool ownerCanRead() const { return mode & 0400; }
    bool sameFile(const FileStatus& other) const {
        return device == other.device && inode == other.inode;
    }
};

struct DirEntry {
    QByteArray name;
    EntryType type = EntryType::File;
};

// Lists one folder, names as bytes. "." and ".." are returned like any entry.
class DirReader {
public:
    DirReader() = default;
    ~DirReader();
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    int open(const QByteArray& folder); // 0 or errno; links in the path are followed
    // The folder `name` inside the open folder `parent`; a link there is refused (ELOOP/ENOTDIR).
    int open(int parent, const QByteArray& name);
    // The open folder, for look-ups by name (-1 when closed).
    int fd() const;
    bool next(DirEntry& entry); // false at the end
    void close();

private:
    DIR* m_dir = nullptr;
};

// Attributes of a path (links are not followed). Returns 0 or errno.
int readAttributes(const QByteArray& path, uint32_t& attributes);
// Read-only maps to the write bits, hidden to the leading dot (never changed),
// system and archive to the user.DOSATTRIB extended attribute.
int writeAttributes(const QByteArray& path, uint32_t attributes);
// Whether the file system of `path` keeps user extended attributes.
bool supportsExtendedAttributes(const QByteArray& path);

// Last-write time with full precision; returns 0 or errno.
int lastWriteTime(const QByteArray& path, timespec& time);
int setLastWriteTime(const QByteArray& path, const timespec& time);
int setLastWriteTime(int fd, const timespec& time);
// Local time packed the DOS way: date in the high 16 bits, time (2 s steps) in the low.
int32_t dosDateTime(const timespec& time);

// The Windows meanings the program singles out, by errno.
enum class ErrorClass {
    None,
    NotFound,
    ShareViolation,
    NoSpace,
    AlreadyExists,
    DriveNotReady,
    Other
};
ErrorClass classifyError(int error);

FileStatus toFileStatus(const struct ::stat& st);
// The status of a path itself (links are not followed). Returns 0 or errno.
int statPath(const QByteArray& path, FileStatus& status);
// Creates one folder (mode 0777 less the umask). Returns 0 or errno.
int makeFolder(const QByteArray& path);
// Reads at most `maxBytes` from the start of a file (0 only tests it can be
// opened for reading). Returns 0 or errno.
int readFileHead(const QByteArray& path, qsizetype maxBytes, QByteArray& data);

// Where a backup's source lies against its destination (real folders, links and
// ".." resolved, bind mounts included).
enum class FolderOverlap { None, Same, SourceInsideDestination };
// A destination that does not exist yet overlaps nothing. Returns 0 or errno.
int folderOverlap(const QByteArray& source, const QByteArray& destination, FolderOverlap& overlap);

// Joins a folder and a name with one '/'.
QByteArray joinPath(const QByteArray& folder, const QByteArray& name);
// The folder part of a path ("." when it has none, "/" for a name at the root).
QByteArray folderOf(const QByteArray& path);
// The last name of a path, trailing '/' ignored.
QByteArray nameOf(const QByteArray& path);

} // namespace quorvia::platform

namespace quorvia::platform {

// Replaces the contents of an existing or new file so that a failure leaves the
// old contents whole: through a temporary file in the same folder, renamed over
// it, or in place when the file has further hard links (which a rename would
// part from it). A link is followed to the file it names. A read-only file
// (owner write bit clear) is refused with EACCES, whoever asks. The file keeps
// its permission bits, owner and system/archive bits. Returns 0 or errno.
int replaceFileContents(const QByteArray& path, const QByteArray& data);

} // namespace quorvia::platform
