#include "engine/PathChecks.h"

#include "app/Alerts.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>

namespace quorvia {

bool EnsureFolder(const Settings& settings, Dialogs& dialogs, const QString& path) {
    if (QFileInfo(path).isDir())
        return true;
    BeepIfSoundOn(dialogs, settings);
    if (!dialogs.confirm("Dir (" + path + ") Doesn't Exist, Create", 0))
        return false;
    QDir().mkpath(path);
    if (QFileInfo(path).isDir())
        return true;
    ShowAlert(dialogs, settings, "Error Creating (" + path + ")", AlertKind::Warning);
    return false;
}

bool CheckDrive(const Settings& settings, Dialogs& dialogs, const QString& path) {
    const QString drive = platform::driveOf(QFileInfo(path.trimmed()).absoluteFilePath());
    if (platform::drivePresent(drive))
        return true;
    ShowAlert(dialogs, settings,
              "Drive (" + drive + " ) Does Not Exist\n" +
                  "If This Drive Is Removable, Make Sure It Is Inserted",
              AlertKind::Warning);
    return false;
}

int CheckPathChars(const Settings& settings, Dialogs& dialogs, const QString& path) {
    // A doubled separator first, then the characters no folder name may hold
    // here, the other platform's separator among them.
    static const char* const refused[] = {"//", "?", "\\", "<", ">", "|"};
    for (const char* sequence : refused) {
        const qsizetype at = path.indexOf(QLatin1String(sequence));
        if (at >= 0) {
            ShowAlert(dialogs, settings, "Invalid File/Path Name", AlertKind::Warning);
            return int(at) + 1;
        }
    }
    return 0;
}

} // namespace quorvia
