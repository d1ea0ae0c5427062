#include "app/RunStatistics.h"

#include "app/SettingsLoader.h"
#include "platform/LocaleText.h"

#include <QDateTime>
#include <limits>

namespace quorvia {

namespace {

// Totals stop at the largest count rather than wrapping round to negative.
int64_t addSaturating(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

void write(const QString& name, int64_t value) {
    WriteSetting(kQuorviaKey, name, QString::number(value));
}

} // namespace

int64_t ReadStoredCount(const QString& name) {
    bool ok = false;
    const int64_t value = ReadSetting(kQuorviaKey, name, "0").trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

void WriteRunStatistics(const RunState& run, bool aborted, int64_t timesRunBefore,
                        const QString& schemeName, Settings& settings) {
    WriteSetting(kQuorviaKey, "LastRunTime", run.RunElapsedText + (aborted ? " (Aborted)" : ""));
    write("TimesRun", addSaturating(timesRunBefore, 1));
    // The files a run found are the files it transferred: the size scan's count
    // is reset before every scheme and would always store 0.
    write("FileCount", run.FilesCopied);
    write("FileCopied", run.FilesCopied);
    write("DirCount", run.FolderCount);
    write("ErrorCount", run.RunErrors);
    write("LastRunSize", run.ByteTotal);
    const QDateTime now = QDateTime::currentDateTime();
    WriteSetting(kQuorviaKey, "LastRunOn",
                 platform::shortDate(now.date()) + "   " + platform::longTime(now.time()));
    WriteSetting(kQuorviaKey, "LastSchemeName", schemeName);
    settings.LastSchemeName = schemeName;

    const std::pair<const char*, int64_t> totals[] = {{"TotalFileCount", run.FilesCopied},
                                                      {"TotalDirCount", run.FolderCount},
                                                      {"TotalErrorCount", run.RunErrors},
                                                      {"TotalTransferred", run.ByteTotal}};
    for (const auto& [name, value] : totals)
        write(name, addSaturating(ReadStoredCount(name), value));
}

} // namespace quorvia
