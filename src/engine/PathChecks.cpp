#include "engine/PathChecks.h"

#include "app/Alerts.h"
#include "platform/Volumes.h"
#include "schemes/DestinationMemory.h"

#include <QDir>
#include <QFile>
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

bool CheckDrive(const Settings& settings, Dialogs& dialogs, const QString& path,
                platform::FileIo& io) {
    const QString drive = platform::driveOf(QFileInfo(path.trimmed()).absoluteFilePath());
    const QByteArray native = QFile::encodeName(drive);
    if (io.isFolder(native) && (!platform::driveNeedsMount(drive) || io.isMountPoint(native)))
        return true;
    ShowAlert(dialogs, settings,
              "Drive (" + drive + " ) Does Not Exist\n" +
                  "If This Drive Is Removable, Make Sure It Is Inserted",
              AlertKind::Warning);
    return false;
}

bool CheckDestinationVolume(const Settings& settings, Dialogs& dialogs, const QString& schemeFile,
                            const QString& folder2, platform::FileIo& io) {
    const QString expected = RememberedMountFolder(schemeFile, folder2);
    if (expected.isEmpty())
        return true;
    const QString now = QFile::decodeName(io.mountFolderOf(QFile::encodeName(folder2)));
    if (now.isEmpty() || now == expected)
        return true;
    ShowAlert(dialogs, settings,
              "Drive (" + expected + " ) Does Not Exist\n" +
                  "If This Drive Is Removable, Make Sure It Is Inserted\n\n" + "Folder 2 (" +
                  folder2 + ") Now Lies On " + now + ", Not On " + expected +
                  " As At Its Last Run\nTo Back Up There All The Same, Save The Scheme Again",
              AlertKind::Warning);
    return false;
}

bool CheckFolderPair(const Settings& settings, Dialogs& dialogs, const QString& folder1,
                     const QString& folder2, platform::FileIo& io) {
    const QString from = folder1.trimmed();
    const QString to = folder2.trimmed();
    platform::FolderOverlap overlap = platform::FolderOverlap::None;
    if (io.folderOverlap(QFile::encodeName(from), QFile::encodeName(to), overlap) != 0)
        return true; // a folder that cannot be looked at fails in the walk, reported there
    switch (overlap) {
    case platform::FolderOverlap::None:
        return true;
    case platform::FolderOverlap::Same:
        ShowAlert(dialogs, settings,
                  "Folder 1 (" + from + ") And Folder 2 (" + to + ") Are The Same Folder",
                  AlertKind::Warning);
        return false;
    case platform::FolderOverlap::SourceInsideDestination:
        ShowAlert(dialogs, settings,
                  "Folder 1 (" + from + ") Lies Inside Folder 2 (" + to +
                      ")\nA Backup Would Write Over Its Own Source",
                  AlertKind::Warning);
        return false;
    }
    return true;
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
