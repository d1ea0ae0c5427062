#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvia {

// The nine lines of a .sch file, in order.
struct SchemeFileLines {
    QString folder1, folder2, lastRun, runMode, folders, totalTime, size, errors, files;
    QStringList toList() const;
};

// The file's bytes: every line ended by CR LF, the last one included.
QByteArray EncodeSchemeFile(const SchemeFileLines& lines);
// Lines up to CR (the LF after it skipped, a bare LF also ends a line); 0x1A ends the file.
QStringList DecodeSchemeLines(const QByteArray& bytes, int maxLines);
// The first `count` lines of a scheme file, empty ones for what it lacks (and
// all empty when it cannot be read).
QStringList ReadSchemeLines(const QString& path, int count);
// The scheme's name: the file name of its scheme file without ".sch".
QString SchemeName(const QString& schemeFile);
// The lines of a scheme that has never run.
SchemeFileLines NewSchemeLines(const QString& folder1, const QString& folder2);

enum class SchemeFileOp { Write, Read };
// The message for a failed open of a scheme file, by errno.
QString SchemeFileMessage(SchemeFileOp op, int error, const QString& path);

// End of a run: rewrites the scheme file of queue slot 0 with the last-run record
// and refreshes the last-run labels. A failure is shown and counted in RunErrors.
void WriteSchemeFile(AppState& state, UserPort& port);
// Selection change: shows the scheme file at `path` in the window; an empty path does nothing.
void LoadSchemeFile(const Settings& settings, UserPort& port, const QString& path);

} // namespace quorvia
