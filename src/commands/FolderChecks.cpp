#include "commands/FolderChecks.h"

#include "app/Alerts.h"
#include "commands/RunTexts.h"
#include "engine/PathChecks.h"

#include <QDir>
#include <QFileInfo>

namespace quorvia {

bool PathCharsAcceptable(const Settings& settings, Dialogs& dialogs, const QString& path) {
    if (CheckPathChars(path) == 0)
        return true;
    ShowAlert(dialogs, settings, "Invalid File/Path Name", AlertKind::Warning);
    return false;
}

bool DrivePresent(const Settings& settings, Dialogs& dialogs, const QString& path,
                  platform::FileIo& io) {
    const DriveCheck drive = CheckDrive(path, io);
    if (!drive.present)
        ShowAlert(dialogs, settings,
                  RefusalText(Refusal(Refusal::DriveMissing, drive.drive), {}, {}),
                  AlertKind::Warning);
    return drive.present;
}

bool FolderPairAcceptable(const Settings& settings, Dialogs& dialogs, const FolderPair& pair,
                          platform::FileIo& io) {
    Refusal refused;
    switch (CheckFolderPair(pair, io)) {
    case platform::FolderOverlap::None:
        return true;
    case platform::FolderOverlap::Same:
        refused.kind = Refusal::SameFolder;
        break;
    case platform::FolderOverlap::SourceInsideDestination:
        refused.kind = Refusal::SourceInsideDestination;
        break;
    }
    ShowAlert(dialogs, settings, RefusalText(refused, pair.source, pair.destination),
              AlertKind::Warning);
    return false;
}

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

} // namespace quorvia
