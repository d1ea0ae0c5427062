#include "engine/PathChecks.h"

#include "platform/Volumes.h"
#include "schemes/DestinationMemory.h"

#include <QFile>
#include <QFileInfo>

namespace quorvia {

DriveCheck CheckDrive(const QString& path, platform::FileIo& io) {
    const QString drive = platform::driveOf(QFileInfo(path.trimmed()).absoluteFilePath());
    const QByteArray native = QFile::encodeName(drive);
    return {drive,
            io.isFolder(native) && (!platform::driveNeedsMount(drive) || io.isMountPoint(native))};
}

platform::FolderOverlap CheckFolderPair(const FolderPair& pair, platform::FileIo& io) {
    platform::FolderOverlap overlap = platform::FolderOverlap::None;
    if (io.folderOverlap(QFile::encodeName(pair.source), QFile::encodeName(pair.destination),
                         overlap) != 0)
        return platform::FolderOverlap::None;
    return overlap;
}

Refusal CheckRunnable(const QString& schemeFile, const FolderPair& pair, platform::FileIo& io) {
    for (const QString& folder : {pair.source, pair.destination}) {
        const DriveCheck drive = CheckDrive(folder, io);
        if (!drive.present)
            return Refusal(Refusal::DriveMissing, drive.drive);
    }
    switch (CheckFolderPair(pair, io)) {
    case platform::FolderOverlap::Same:
        return Refusal(Refusal::SameFolder);
    case platform::FolderOverlap::SourceInsideDestination:
        return Refusal(Refusal::SourceInsideDestination);
    case platform::FolderOverlap::None:
        break;
    }
    const QString expected = RememberedMountFolder(schemeFile, pair.destination);
    if (!expected.isEmpty()) {
        const QString now =
            QFile::decodeName(io.mountFolderOf(QFile::encodeName(pair.destination)));
        if (!now.isEmpty() && now != expected)
            return Refusal(Refusal::DestinationMoved, now, expected);
    }
    return {};
}

std::unique_ptr<platform::DestinationLock> LockDestination(const FolderPair& pair, Refusal& refused,
                                                           int waitMs) {
    auto lock = std::make_unique<platform::DestinationLock>(pair.destination);
    if (lock->tryLock(waitMs))
        return lock;
    refused = Refusal(Refusal::DestinationBusy);
    return nullptr;
}

void RememberDestination(const QString& schemeFile, const FolderPair& pair, platform::FileIo& io) {
    const QByteArray destination = QFile::encodeName(pair.destination);
    if (io.isFolder(destination))
        RememberMountFolder(schemeFile, pair.destination,
                            QFile::decodeName(io.mountFolderOf(destination)));
}

int CheckPathChars(const QString& path) {
    // A doubled separator first, then the characters no folder name may hold
    // here, the other platform's separator among them.
    static const char* const refused[] = {"//", "?", "\\", "<", ">", "|"};
    for (const char* sequence : refused) {
        const qsizetype at = path.indexOf(QLatin1String(sequence));
        if (at >= 0)
            return int(at) + 1;
    }
    return 0;
}

int64_t FreeBytes(const QString& folder, platform::FileIo& io) {
    int64_t asked = 0;
    return io.freeSpace(QFile::encodeName(folder), asked) == 0 && asked > 0 ? asked : 0;
}

} // namespace quorvia
