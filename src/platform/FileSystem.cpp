#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quorvia::platform {

namespace {
constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr uint32_t kXattrBits = AttrSystem | AttrArchive;

uint32_t readXattrBits(const char* path) {
    char buf[64];
    const ssize_t n = lgetxattr(path, kDosAttrib, buf, sizeof(buf) - 1);
    if (n <= 0)
        return 0;
    buf[n] = 0;
    return static_cast<uint32_t>(std::strtoul(buf, nullptr, 0)) & kXattrBits;
}

QByteArray baseName(const QByteArray& path) {
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const int slash = p.lastIndexOf('/');
    return slash < 0 ? p : p.mid(slash + 1);
}
} // namespace

DirReader::~DirReader() {
    close();
}

int DirReader::open(const QByteArray& folder) {
    close();
    dir_ = opendir(folder.constData());
    folder_ = folder;
    return dir_ ? 0 : errno;
}

bool DirReader::next(DirEntry& entry) {
    if (!dir_)
        return false;
    const dirent* d = readdir(dir_);
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
    if (lstat(joinPath(folder_, entry.name).constData(), &st) != 0)
        entry.type = EntryType::Special;
    else if (S_ISREG(st.st_mode))
        entry.type = EntryType::File;
    else if (S_ISDIR(st.st_mode))
        entry.type = EntryType::Directory;
    else if (S_ISLNK(st.st_mode))
        entry.type = EntryType::Symlink;
    else
        entry.type = EntryType::Special;
    return true;
}

void DirReader::close() {
    if (dir_)
        closedir(dir_);
    dir_ = nullptr;
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
    const QByteArray name = baseName(path);
    if (name.startsWith('.') && name != "." && name != "..")
        attributes |= AttrHidden;
    if (!S_ISLNK(st.st_mode))
        attributes |= readXattrBits(path.constData());
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

    const uint32_t bits = attributes & kXattrBits;
    if (bits != readXattrBits(path.constData())) {
        // The owner needs the write bit to change extended attributes.
        if (!(before & S_IWUSR) && chmod(path.constData(), before | S_IWUSR) != 0)
            return errno;
        int error = 0;
        if (bits == 0) {
            if (lremovexattr(path.constData(), kDosAttrib) != 0 && errno != ENODATA &&
                errno != ENOTSUP)
                error = errno;
        } else {
            char text[16];
            std::snprintf(text, sizeof(text), "0x%X", bits);
            if (lsetxattr(path.constData(), kDosAttrib, text, std::strlen(text), 0) != 0 &&
                errno != ENOTSUP)
                error = errno;
        }
        if (error != 0) {
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

bool isDirectory(const QByteArray& path) {
    struct stat st {};
    return stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const QByteArray& path) {
    struct stat st {};
    return lstat(path.constData(), &st) == 0;
}

} // namespace quorvia::platform

namespace quorvia::platform {

int replaceFileContents(const QByteArray& path, const QByteArray& data) {
    struct stat old {};
    const bool hadFile = stat(path.constData(), &old) == 0;
    QByteArray temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return errno;
    int error = 0;
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        p += n;
        left -= n;
    }
    if (error == 0 && fchmod(fd, hadFile ? (old.st_mode & 07777) : 0644) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temp.constData(), path.constData()) != 0)
        error = errno;
    if (error != 0)
        unlink(temp.constData());
    return error;
}

} // namespace quorvia::platform
