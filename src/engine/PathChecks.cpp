#include "engine/PathChecks.h"

#include "app/Alerts.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>

namespace quorvia {

bool EnsureFolder(const Settings& settings, UserPort& port, const QString& path) {
    if (QFileInfo(path).isDir())
        return true;
    BeepIfSoundOn(port, settings);
    if (!port.confirm("Dir (" + path + ") Doesn't Exist, Create", 0))
        return false;
    QDir().mkpath(path);
    if (QFileInfo(path).isDir())
        return true;
    ShowAlert(port, settings, "Error Creating (" + path + ")", AlertKind::Warning);
    return false;
}

bool CheckDrive(const Settings& settings, UserPort& port, const QString& path) {
    const QString drive = platform::driveOf(QFileInfo(path.trimmed()).absoluteFilePath());
    if (platform::drivePresent(drive))
        return true;
    ShowAlert(port, settings,
              "Drive (" + drive + " ) Does Not Exist\n" +
                  "If This Drive Is Removable, Make Sure It Is Inserted",
              AlertKind::Warning);
    return false;
}

int CheckPathChars(const Settings& settings, UserPort& port, const QString& path) {
    // A doubled separator first, then the characters no folder name may hold
    // here, the other platform's separator among them.
    static const char* const refused[] = {"//", "?", "\\", "<", ">", "|"};
    for (const char* sequence : refused) {
        const qsizetype at = path.indexOf(QLatin1String(sequence));
        if (at >= 0) {
            ShowAlert(port, settings, "Invalid File/Path Name", AlertKind::Warning);
            return int(at) + 1;
        }
    }
    return 0;
}

} // namespace quorvia
