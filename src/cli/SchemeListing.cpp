#include "cli/SchemeListing.h"

#include "app/SchemeList.h"
#include "cli/Schedules.h"
#include "schemes/SchemeFile.h"

#include <QDir>

namespace quorvia::cli {

void ListSchemes(const QString& folder, QTextStream& out) {
    SchemeList list;
    list.setFolder(folder);
    if (list.items().isEmpty())
        out << "No schemes in " << folder << Qt::endl;
    for (const QString& item : list.items()) {
        const QStringList lines = ReadSchemeLines(QDir(folder).filePath(item), 9);
        const QString name = SchemeName(item);
        QString lastRun = lines[2].trimmed();
        if (lastRun.isEmpty())
            lastRun = "Never";
        else if (lastRun != "Never")
            lastRun += " (" + lines[5].trimmed() + ", " + lines[8].trimmed() + " file(s), " +
                       lines[7].trimmed() + " error(s))";
        out << name << "\n"
            << "  From:     " << lines[0].trimmed() << "\n"
            << "  To:       " << lines[1].trimmed() << "\n"
            << "  Last run: " << lastRun << "\n"
            << "  Schedule: " << ScheduleOf(name) << Qt::endl;
    }
}

} // namespace quorvia::cli
