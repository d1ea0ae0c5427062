#include "commands/StatsReport.h"

#include "app/RunFormat.h"
#include "app/SettingsLoader.h"
#include "platform/LocaleText.h"

#include <cmath>
#include <optional>

namespace quorvia {

namespace {

constexpr qsizetype kShortenAbove = 40;
constexpr qsizetype kShortenKeep = 20;

std::optional<double> number(const QString& stored) {
    bool ok = false;
    const double value = stored.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString stored(const char* name, const char* def) {
    return ReadSetting(kQuorviaKey, name, def);
}

} // namespace

QString CountText(const QString& text) {
    const auto value = number(text);
    return value ? platform::formatCount(*value) : text;
}

QString SizeText(const QString& text) {
    const auto value = number(text);
    return value ? FormatSize(*value) : text;
}

QString ShortenedText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.size() <= kShortenAbove)
        return trimmed;
    return trimmed.left(kShortenKeep) + "..." + trimmed.right(kShortenKeep);
}

StatsRows ReadStatsRows(const Settings& settings) {
    StatsRows rows;
    rows.LastRunOn = stored("LastRunOn", "Never");
    rows.LastSchemeName = settings.LastSchemeName;
    rows.TimesRun = stored("TimesRun", "0");
    rows.DirCount = CountText(stored("DirCount", "0"));
    rows.ErrorCount = CountText(stored("ErrorCount", "0"));
    rows.LastRunTime = stored("LastRunTime", "0");
    rows.SchemeDir = ShortenedText(settings.SchemeDir); // its own case names it here
    rows.Version = stored("Version", "Unknown");
    rows.CompileDate = stored("CompileDate", "Unknown");
    rows.TotalTransferred = SizeText(stored("TotalTransferred", "0"));
    rows.TotalFileCount = CountText(stored("TotalFileCount", "0"));
    rows.TotalDirCount = CountText(stored("TotalDirCount", "0"));
    rows.TotalErrorCount = stored("TotalErrorCount", "0");
    rows.FileCopied = stored("FileCopied", "0");
    rows.LastRunSize = SizeText(stored("LastRunSize", "0"));
    return rows;
}

QStringList QueueRows(const SchemeQueue& queue) {
    QStringList rows;
    for (int n = 0; n < SchemeQueue::Capacity; ++n) {
        const QString& path = queue.slots[size_t(n)].SchemeFile;
        rows << path.mid(path.lastIndexOf('/') + 1);
    }
    return rows;
}

} // namespace quorvia
