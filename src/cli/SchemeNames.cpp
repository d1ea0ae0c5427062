#include "cli/SchemeNames.h"

#include "app/SchemeList.h"
#include "app/SettingsLoader.h"
#include "platform/ProgramFolder.h"
#include "schemes/SchemeFile.h"

#include <QDir>

namespace quorvia::cli {

QString SchemeFolder(const Settings& settings) {
    return SchemeFolderInUse(settings, platform::programFolder());
}

QString FindScheme(const QString& folder, const QString& name, QString& error) {
    SchemeList list;
    list.setFolder(folder);
    QStringList alike;
    for (const QString& item : list.items()) {
        const QString shown = SchemeName(item);
        if (shown == name)
            return QDir(folder).filePath(item);
        if (shown.compare(name, Qt::CaseInsensitive) == 0)
            alike << item;
    }
    if (alike.size() == 1)
        return QDir(folder).filePath(alike.first());
    if (alike.isEmpty()) {
        error = "No scheme named \"" + name + "\" in " + folder;
    } else {
        QStringList names;
        for (const QString& item : alike)
            names << SchemeName(item);
        error = "\"" + name + "\" names more than one scheme: " + names.join(", ");
    }
    return {};
}

} // namespace quorvia::cli
