#include "cli/SchemeListing.h"

#include "app/SchemeList.h"
#include "cli/Schedules.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QFile>

namespace quorvia::cli {

void ListSchemes(const QString& folder, QTextStream& out) {
    SchemeList list;
    list.setFolder(folder);
    if (list.items().isEmpty())
        out << "No schemes in " << folder << Qt::endl;
    for (const QString& item : list.items()) {
        QFile file(QDir(folder).filePath(item));
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.read(1 << 20);
        QStringList lines = DecodeSchemeLines(bytes, 9);
        while (lines.size() < 9)
            lines << QString();
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
