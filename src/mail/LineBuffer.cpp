#include "mail/LineBuffer.h"

#include <cstring>

namespace quorvia::mail {

void CopyToBuffer(char* buffer, int size, QByteArrayView text) {
    if (size <= 0)
        return;
    qsizetype n = qMin<qsizetype>(text.size(), size - 1);
    if (n < text.size()) {
        // Step back over continuation bytes so that no character is split.
        while (n > 0 && (uchar(text[n]) & 0xC0) == 0x80)
            --n;
    }
    if (n > 0) // an empty view may have no data at all
        std::memcpy(buffer, text.data(), size_t(n));
    buffer[n] = '\0';
}

QByteArray BufferText(const char* buffer, int maxLen) {
    return QByteArray(buffer, qsizetype(strnlen(buffer, size_t(qMax(maxLen, 0)))));
}

} // namespace quorvia::mail
