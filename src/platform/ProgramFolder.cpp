#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvia::platform {

QString programFolderFor(const QString& executableFolder) {
    QString folder;
    const QFileInfo info(executableFolder);
    if (!executableFolder.isEmpty() && info.isDir() && info.isWritable()) {
        folder = info.absoluteFilePath();
    } else {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Quorvia";
        QDir().mkpath(folder);
    }
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString programFolder() {
    return programFolderFor(QCoreApplication::applicationDirPath());
}

} // namespace quorvia::platform
