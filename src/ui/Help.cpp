#include "ui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace quorvia {

std::function<bool(const QUrl&)> openHelpUrl;

QString FindHelpFile(const QString& schemeDir, QStringList* lookedAt) {
    const QString program = QCoreApplication::applicationDirPath();
    QStringList places;
    if (!schemeDir.trimmed().isEmpty())
        places << QDir(schemeDir).filePath(kHelpFileName);
    places << QDir(program).filePath(kHelpFileName)
           << QDir::cleanPath(program + "/../share/quorvia/" + kHelpFileName);
    places.removeDuplicates();
    if (lookedAt)
        *lookedAt = places;
    for (const QString& place : places)
        if (QFileInfo(place).isFile())
            return place;
    return {};
}

void OpenHelp(Dialogs& dialogs, const QString& schemeDir, int context) {
    QStringList places;
    const QString file = FindHelpFile(schemeDir, &places);
    if (file.isEmpty()) {
        dialogs.messageBox(
            AlertKind::Warning,
            QString("The help file %1 was not found.\nLooked for:\n").arg(kHelpFileName) +
                places.join('\n'),
            0);
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (context > 0)
        url.setFragment("context-" + QString::number(context));
    const bool opened = openHelpUrl ? openHelpUrl(url) : QDesktopServices::openUrl(url);
    if (!opened)
        dialogs.messageBox(
            AlertKind::Warning,
            "The help file could not be opened: " + file + "\nOpen it in a web browser.", 0);
}

} // namespace quorvia
