#include "app/RunStatistics.h"

#include "app/SettingsLoader.h"
#include "platform/LocaleText.h"
#include "platform/SettingsStore.h"

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

} // namespace

int64_t ReadStoredCount(const QString& name) {
    bool ok = false;
    const int64_t value = ReadSetting(kQuorviaKey, name, "0").trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

void WriteRunStatistics(Dialogs& dialogs, const RunState& run, bool aborted, int64_t timesRunBefore,
                        const QString& schemeName, Settings& settings) {
    const QDateTime now = QDateTime::currentDateTime();
    auto number = [](int64_t value) { return QString::number(value); };
    QList<std::pair<QString, QString>> values{
        {"LastRunTime", run.RunElapsedText + (aborted ? " (Aborted)" : "")},
        {"TimesRun", number(addSaturating(timesRunBefore, 1))},
        {"FileCount", number(RunFileCount(run))},
        {"FileCopied", number(run.FilesCopied)},
        {"DirCount", number(run.FolderCount)},
        {"ErrorCount", number(run.RunErrors)},
        {"LastRunSize", number(run.ByteTotal)},
        {"LastRunOn", platform::shortDate(now.date()) + "   " + platform::longTime(now.time())},
        {"LastSchemeName", schemeName}};
    const std::pair<const char*, int64_t> totals[] = {{"TotalFileCount", RunFileCount(run)},
                                                      {"TotalDirCount", run.FolderCount},
                                                      {"TotalErrorCount", run.RunErrors},
                                                      {"TotalTransferred", run.ByteTotal}};
    for (const auto& [name, value] : totals)
        values.append({name, number(addSaturating(ReadStoredCount(name), value))});
    // One write for all thirteen: a store that syncs each value would cost a
    // disk flush apiece, and a run's record is whole or not there at all.
    settings.LastSchemeName = schemeName;
    if (platform::writeValues(kQuorviaKey, values) != 0)
        ShowStoreFailure(dialogs, settings, "Run Statistics Could Not Be Saved.");
}

} // namespace quorvia
