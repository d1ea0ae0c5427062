#include "app/SchemeList.h"

#include "platform/DosAttributes.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvia {

void SchemeList::setFolder(const QString& folder) {
    m_folder = folder;
    reread();
}

void SchemeList::reread() {
    m_items.clear();
    if (!m_folder.isEmpty()) {
        QDir dir(m_folder);
        dir.setNameFilters({QStringLiteral("*.sch")});
        dir.setFilter(QDir::Files); // QDir::Hidden left out: dot files are not listed
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        // System files are not listed either (the bit lives beside the file).
        for (const QString& item : dir.entryList())
            if (!(platform::readDosBits(QFile::encodeName(dir.filePath(item))) &
                  platform::AttrSystem))
                m_items << item;
    }
    m_selected = -1;
    m_lastRaised = -1;
    Q_EMIT changed();
}

QString SchemeList::selectedPath() const {
    if (m_selected < 0 || m_selected >= m_items.size())
        return {};
    QString base = m_folder;
    if (!base.endsWith('/'))
        base += '/';
    return base + m_items[m_selected];
}

bool SchemeList::selectByUser(int index) {
    m_selected = (index >= 0 && index < m_items.size()) ? index : -1;
    Q_EMIT changed();
    if (m_selected == m_lastRaised)
        return false;
    m_lastRaised = m_selected;
    return m_selected >= 0;
}

void SchemeList::selectByProgram(int index) {
    m_selected = (index >= 0 && index < m_items.size()) ? index : -1;
    Q_EMIT changed();
}

int SelectSchemeByName(SchemeList& list, const QString& text) {
    QString name = QFileInfo(text).fileName();
    if (name.size() >= 4 && name.endsWith(QLatin1String(".sch"), Qt::CaseInsensitive))
        name.chop(4);
    const QString wanted = name + ".sch";
    const QStringList& items = list.items();
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].compare(wanted, Qt::CaseInsensitive) == 0) {
            list.selectByProgram(i);
            return i;
        }
    }
    return -1;
}

} // namespace quorvia
