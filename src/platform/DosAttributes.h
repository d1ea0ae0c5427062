#pragma once

#include <QByteArray>
#include <cstdint>

// The system and archive bits, kept where Samba keeps DOS attributes: the
// extended attribute user.DOSATTRIB, as the text "0xNN".
namespace quorvia::platform {

// 0 where the file has none or the file system keeps no user attributes.
uint32_t readDosBits(const QByteArray& path); // the link itself, never its target
uint32_t readDosBits(int fd);
// Stores `bits` (system and archive only; 0 removes the attribute). A file
// system without user attributes is not an error. Returns 0 or errno.
int writeDosBits(const QByteArray& path, uint32_t bits);
int writeDosBits(int fd, uint32_t bits);

} // namespace quorvia::platform
