#pragma once

#include "app/SchemeQueue.h"
#include "app/Settings.h"

#include <QString>
#include <QStringList>

namespace quorvia {

// The rows of the stats dialog, as shown, read from the store each time it
// opens. Named after the value each row shows.
struct StatsRows {
    QString LastRunOn;        // "Never" before the first run
    QString LastSchemeName;   // the name held in memory
    QString TimesRun;         // as stored
    QString DirCount;         // count
    QString ErrorCount;       // count
    QString LastRunTime;      // as stored
    QString SchemeDir;        // shortened
    QString Version;          // as stored, "Unknown" when missing
    QString CompileDate;      // as stored, "Unknown" when missing
    QString TotalTransferred; // size text
    QString TotalFileCount;   // count
    QString TotalDirCount;    // count
    QString TotalErrorCount;  // as stored
    QString FileCopied;       // as stored
    QString LastRunSize;      // size text
};

StatsRows ReadStatsRows(const Settings& settings);

// The queue rows "1." to "5.": the file name of each slot's scheme file,
// whether or not the slot is in use; empty for an empty slot.
QStringList QueueRows(const SchemeQueue& queue);

// A stored number with thousands separators and no decimals; a text that is
// not a number is shown as it is.
QString CountText(const QString& stored);
// A stored byte count with its unit ("0.00 Bytes"); a text that is not a
// number is shown as it is.
QString SizeText(const QString& stored);
// Over 40 characters (blanks at the ends removed): the first 20, "..." and the last 20.
QString ShortenedText(const QString& text);

} // namespace quorvia
