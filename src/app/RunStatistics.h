#pragma once

#include "app/Dialogs.h"
#include "app/RunState.h"
#include "app/Settings.h"

#include <QString>
#include <cstdint>

namespace quorvia {

// A stored count; a value that is absent or not a whole number reads as 0.
int64_t ReadStoredCount(const QString& name);

// After each scheme that ran: the last-run figures and the running totals, in
// their fixed order. `timesRunBefore` is "TimesRun" as read before the scheme;
// the in-memory LastSchemeName takes the scheme name too. A store that cannot
// be written is reported in a warning box.
void WriteRunStatistics(Dialogs& dialogs, const RunState& run, bool aborted, int64_t timesRunBefore,
                        const QString& schemeName, Settings& settings);
// The files a run counts as found: those it copied or zipped (the size scan's
// count is reset before each scheme). Stored as "FileCount", shown as the work
// list's "File Count".
inline int32_t RunFileCount(const RunState& run) {
    return run.FilesCopied;
}

} // namespace quorvia
