#include "app/IntegerText.h"

#include <limits>

namespace quorvia {

std::optional<int32_t> StrToInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const bool hex = i < n && text[i] == '$';
    if (hex)
        ++i;
    if (i == n)
        return std::nullopt;

    // Decimal stays within the signed range; hexadecimal may use all 32 bits
    // ("$FFFFFFFF" is -1), as the framework reads it.
    const uint64_t limit =
        hex ? 0xFFFFFFFFull : uint64_t(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0);
    uint64_t value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + uint64_t(digit);
        if (value > limit)
            return std::nullopt;
    }
    const auto bits = uint32_t(value);
    return int32_t(negative ? 0u - bits : bits);
}

QString NotAnIntegerMessage(const QString& text) {
    return "'" + text + "' is not a valid integer value";
}

} // namespace quorvia
