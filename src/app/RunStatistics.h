#pragma once

#include "app/RunState.h"
#include "app/Settings.h"

#include <QString>
#include <cstdint>

namespace quorvia {

// A stored count; a value that is absent or not a whole number reads as 0.
int64_t ReadStoredCount(const QString& name);

// After each scheme that ran: the last-run figures and the running totals, in
// their fixed order. `timesRunBefore` is "TimesRun" as read before the scheme;
// the in-memory LastSchemeName takes the scheme name too.
void WriteRunStatistics(const RunState& run, bool aborted, int64_t timesRunBefore,
                        const QString& schemeName, Settings& settings);

} // namespace quorvia
