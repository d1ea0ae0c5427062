#include "cli/Schedules.h"

#include "cli/HeadlessRun.h"
#include "cli/UnitNames.h"
#include "platform/StateStore.h"
#include "platform/Volumes.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace quorvia::cli {

namespace {

const QString kTemplate = QStringLiteral("quorvia-run@.service");
const QString kStateFile = QStringLiteral("schedules.conf");
const QString kStateGroup = QStringLiteral("Schedules");
// Where systemd finds user units besides the user's own folder.
const QStringList kSystemUnitFolders{"/etc/systemd/user", "/usr/local/lib/systemd/user",
                                     "/usr/lib/systemd/user"};

QString timerName(const QString& scheme) {
    return "quorvia-run@" + EscapeUnitName(scheme) + ".timer";
}

QString plugName(const QString& scheme) {
    return "quorvia-plugged@" + EscapeUnitName(scheme) + ".service";
}

bool userSystemdRuns() {
    QProcess systemctl;
    systemctl.start("systemctl", {"--user", "show-environment"});
    return systemctl.waitForFinished(5000) && systemctl.exitStatus() == QProcess::NormalExit &&
           systemctl.exitCode() == 0;
}

bool systemctl(const QStringList& args, QTextStream& err) {
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start("systemctl", QStringList{"--user"} + args);
    const bool ok = run.waitForFinished(30000) && run.exitStatus() == QProcess::NormalExit &&
                    run.exitCode() == 0;
    if (!ok)
        err << "systemctl --user " << args.join(' ') << ": " << run.readAll().trimmed() << Qt::endl;
    return ok;
}

bool writeUnit(const QString& path, const QString& text, QTextStream& err) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(text.toUtf8()) == text.toUtf8().size() && file.flush())
        return true;
    err << "Cannot write " << path << ": " << file.errorString() << Qt::endl;
    return false;
}

bool templateInstalled() {
    for (const QString& folder : kSystemUnitFolders)
        if (QFileInfo::exists(folder + "/" + kTemplate))
            return true;
    return QFileInfo::exists(UserUnitFolder() + "/" + kTemplate);
}

} // namespace

QString UserUnitFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/systemd/user";
}

QString ServiceTemplate(const QString& executable) {
    return "[Unit]\n"
           "Description=Quorvia backup of scheme %I\n"
           "Documentation=man:quorvia(1)\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" +
           ExecArgument(executable) + " --run \"%I\"\n";
}

QString TimerUnit(const QString& scheme, const QString& when) {
    return "[Unit]\n"
           "Description=Quorvia backup of scheme " +
           UnitValue(scheme) + ", " + when +
           "\n"
           "\n"
           "[Timer]\n"
           "OnCalendar=" +
           when +
           "\n"
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

QString PlugService(const QString& scheme, const QString& drive, const QString& executable) {
    const QString mount = EscapeUnitPath(drive) + ".mount";
    return "[Unit]\n"
           "Description=Quorvia backup of scheme " +
           UnitValue(scheme) + " when " + UnitValue(drive) +
           " is plugged in\n"
           "Documentation=man:quorvia(1)\n"
           "BindsTo=" +
           mount + "\nAfter=" + mount +
           "\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "RemainAfterExit=yes\n"
           "ExecStart=" +
           ExecArgument(executable) + " --run " + ExecArgument(scheme) +
           "\n"
           "\n"
           "[Install]\n"
           "WantedBy=" +
           mount + "\n";
}

QString CrontabLine(const QString& scheme, const QString& when, const QString& executable) {
    return "@" + when + " " + ShellArgument(executable) + " --run " + ShellArgument(scheme);
}

QString ScheduleOf(const QString& scheme) {
    return platform::readStateValue(kStateFile, kStateGroup, scheme).value_or("off");
}

int SetSchedule(const QString& schemeFile, const QString& folder2, const QString& when,
                const QString& executable, QTextStream& out, QTextStream& err) {
    const QString scheme = SchemeName(schemeFile);
    const QString folder = UserUnitFolder();
    const QString timer = folder + "/" + timerName(scheme);
    const QString plug = folder + "/" + plugName(scheme);
    const bool systemd = userSystemdRuns();

    QString drive;
    if (when == "plugged-in") {
        // The drive as the drive check finds it; only a removable one is
        // mounted when it is plugged in.
        drive = platform::driveOf(QFileInfo(folder2).absoluteFilePath());
        if (folder2.isEmpty() || !platform::driveNeedsMount(drive)) {
            err << scheme << ": Folder 2 (" << folder2
                << ") is not on a drive that is plugged in (one under /media/USER, "
                   "/run/media/USER or /mnt)"
                << Qt::endl;
            return Refused;
        }
    }

    // Whatever the scheme had before goes first.
    for (const QString& unit : {timer, plug}) {
        if (!QFileInfo::exists(unit))
            continue;
        if (systemd)
            systemctl({"disable", "--now", QFileInfo(unit).fileName()}, err);
        QFile::remove(unit);
    }
    if (when == "off") {
        platform::writeStateValues(kStateFile, kStateGroup, {{scheme, "off"}});
        if (systemd)
            systemctl({"daemon-reload"}, err);
        out << scheme << ": no schedule" << Qt::endl;
        return Done;
    }

    QDir().mkpath(folder);
    QString unit;
    if (drive.isEmpty()) {
        if (!templateInstalled() &&
            !writeUnit(folder + "/" + kTemplate, ServiceTemplate(executable), err))
            return Refused;
        if (!writeUnit(timer, TimerUnit(scheme, when), err))
            return Refused;
        unit = timer;
    } else {
        if (!writeUnit(plug, PlugService(scheme, drive, executable), err))
            return Refused;
        unit = plug;
    }
    platform::writeStateValues(kStateFile, kStateGroup, {{scheme, when}});

    if (systemd) {
        // A timer starts now; the plugged-in service with the drive's next mount.
        QStringList enable{"enable", QFileInfo(unit).fileName()};
        if (drive.isEmpty())
            enable.insert(1, "--now");
        if (!systemctl({"daemon-reload"}, err) || !systemctl(enable, err))
            return Refused;
        out << scheme << ": runs " << (drive.isEmpty() ? when : "when " + drive + " is plugged in")
            << " (" << unit << ")" << Qt::endl;
        return Done;
    }
    if (!drive.isEmpty()) {
        err << scheme << ": no user systemd runs here, and a run when " << drive
            << " is plugged in needs it. The unit is written: " << unit << Qt::endl;
        return Refused;
    }
    out << scheme << ": no user systemd runs here; add this line with \"crontab -e\":" << Qt::endl
        << CrontabLine(scheme, when, executable) << Qt::endl;
    return Done;
}

} // namespace quorvia::cli
