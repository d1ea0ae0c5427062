#pragma once

#include <QString>
#include <cstdint>

namespace quorvia {

// A byte count with its unit: "400.00 Bytes", "0.39 K", "1.00 Meg".
QString FormatSize(double bytes);
// Milliseconds between two tick counts as hours:minutes:seconds, "00:01:05".
QString FormatElapsed(int64_t startTicks, int64_t endTicks);

} // namespace quorvia
