#include "platform/DosAttributes.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/xattr.h>

namespace quorvia::platform {

namespace {
constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr uint32_t kStoredBits = AttrSystem | AttrArchive;

uint32_t parse(char* text, ssize_t length) {
    if (length <= 0)
        return 0;
    text[length] = 0;
    return uint32_t(std::strtoul(text, nullptr, 0)) & kStoredBits;
}

// Runs the remove or set call that `bits` needs; ENOTSUP and a missing
// attribute on removal are no failures.
template <typename Remove, typename Set> int store(uint32_t bits, Remove remove, Set set) {
    bits &= kStoredBits;
    if (bits == 0)
        return remove(kDosAttrib) == 0 || errno == ENODATA || errno == ENOTSUP ? 0 : errno;
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", bits);
    return set(kDosAttrib, text, std::strlen(text)) == 0 || errno == ENOTSUP ? 0 : errno;
}
} // namespace

uint32_t readDosBits(const QByteArray& path) {
    char text[64];
    return parse(text, lgetxattr(path.constData(), kDosAttrib, text, sizeof(text) - 1));
}

uint32_t readDosBits(int fd) {
    char text[64];
    return parse(text, fgetxattr(fd, kDosAttrib, text, sizeof(text) - 1));
}

int writeDosBits(const QByteArray& path, uint32_t bits) {
    const char* p = path.constData();
    return store(
        bits, [p](const char* name) { return lremovexattr(p, name); },
        [p](const char* name, const char* v, size_t n) { return lsetxattr(p, name, v, n, 0); });
}

int writeDosBits(int fd, uint32_t bits) {
    return store(
        bits, [fd](const char* name) { return fremovexattr(fd, name); },
        [fd](const char* name, const char* v, size_t n) { return fsetxattr(fd, name, v, n, 0); });
}

} // namespace quorvia::platform
