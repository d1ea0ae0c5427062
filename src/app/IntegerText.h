#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvia {

// Text to a signed 32-bit integer as the forms' framework converts it: leading
// blanks, an optional "+" or "-", then decimal digits or "$" and hexadecimal
// digits, and nothing after them. Anything else, and a number that does not
// fit, is no integer.
std::optional<int32_t> StrToInt(const QString& text);
// The framework's box for such a text: "'abc' is not a valid integer value".
QString NotAnIntegerMessage(const QString& text);

} // namespace quorvia
