#pragma once

#include <QString>

// Names and values for systemd unit files.
namespace quorvia::cli {

// A string as `systemd-escape` makes it: "/" becomes "-", and every byte but
// ASCII letters, digits, ":", "_" and a "." that does not lead is written \xNN.
QString EscapeUnitName(const QString& text);
// A path as `systemd-escape --path` makes it (the name of its mount unit).
QString EscapeUnitPath(const QString& path);
// A value inside a unit file: "%" doubled so no specifier is read into it.
QString UnitValue(const QString& text);
// One quoted argument of an Exec line.
QString ExecArgument(const QString& text);
// One argument of a shell command line (crontab).
QString ShellArgument(const QString& text);

} // namespace quorvia::cli
