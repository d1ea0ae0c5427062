#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace quorvia::cli {

// What a schedule's units are, for a scheme and the program that runs it.
struct ScheduleUnits {
    QString folder; // the user's unit folder
    QString timer;  // file names in it; empty when not written
    QString plugService;
    QString templateText; // quorvia-run@.service, to be written when missing
    QStringList written;  // full paths of the files written
};

// The user's systemd unit folder ($XDG_CONFIG_HOME/systemd/user).
QString UserUnitFolder();
// The service template every timer starts: runs "quorvia --run NAME".
QString ServiceTemplate(const QString& executable);
// The timer of a scheme: `when` is daily, weekly or hourly; missed runs happen
// at the next start of the machine.
QString TimerUnit(const QString& scheme, const QString& when);
// The service that runs a scheme once each time its drive is mounted, and
// stops with the mount.
QString PlugService(const QString& scheme, const QString& drive, const QString& executable);
// The crontab line for a timed schedule.
QString CrontabLine(const QString& scheme, const QString& when, const QString& executable);

// `quorvia --schedule NAME WHEN` for the scheme file `schemeFile` whose
// Folder 2 is `folder2`: writes and enables the units (or prints the crontab
// line where no user systemd runs) and records the schedule. Exit status.
int SetSchedule(const QString& schemeFile, const QString& folder2, const QString& when,
                const QString& executable, QTextStream& out, QTextStream& err);
// The recorded schedule of a scheme ("off" when none).
QString ScheduleOf(const QString& scheme);

} // namespace quorvia::cli
