#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvia::platform {

QString programFolderFor(const QString& executableFolder) {
    QString folder;
    const QFileInfo info(executableFolder);
    // Only a portable install keeps its schemes beside the program: the build
    // folder must never hold them, or removing it would take them along.
    const bool portable = !executableFolder.isEmpty() && info.isDir() && info.isWritable() &&
                          QFileInfo(QDir(executableFolder).filePath(kPortableMarker)).exists();
    if (portable) {
        folder = info.absoluteFilePath();
    } else {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Quorvia";
        QDir().mkpath(folder);
    }
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString stateFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base)) // unset, or relative: XDG says to ignore it then
        base = QDir::homePath() + "/.local/state";
    const QString folder = base + "/Quorvia/";
    QDir().mkpath(folder);
    return folder;
}

QString programFolder() {
    return programFolderFor(QCoreApplication::applicationDirPath());
}

} // namespace quorvia::platform
