#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace quorvia::mail {

// Copies text into a zero-terminated buffer of `size` bytes. Text that does not
// fit is cut before the last whole UTF-8 character that does; nothing is ever
// written past the buffer.
void CopyToBuffer(char* buffer, int size, QByteArrayView text);

// The text of a zero-terminated buffer, reading at most `maxLen` bytes even when
// a handler left no terminator.
QByteArray BufferText(const char* buffer, int maxLen);

} // namespace quorvia::mail
