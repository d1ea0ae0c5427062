#include "schemes/SchemeList.h"

#include <QDir>
#include <QFileInfo>

namespace quorvia {

void SchemeList::setFolder(const QString& folder) {
    folder_ = folder;
    reread();
}

void SchemeList::reread() {
    items_.clear();
    if (!folder_.isEmpty()) {
        QDir dir(folder_);
        dir.setNameFilters({QStringLiteral("*.sch")});
        dir.setFilter(QDir::Files); // QDir::Hidden left out: dot files are not listed
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        items_ = dir.entryList();
    }
    selected_ = -1;
    lastRaised_ = -1;
    Q_EMIT changed();
}

QString SchemeList::selectedPath() const {
    if (selected_ < 0 || selected_ >= items_.size())
        return {};
    QString base = folder_;
    if (!base.endsWith('/'))
        base += '/';
    return base + items_[selected_];
}

bool SchemeList::selectByUser(int index) {
    selected_ = (index >= 0 && index < items_.size()) ? index : -1;
    Q_EMIT changed();
    if (selected_ == lastRaised_)
        return false;
    lastRaised_ = selected_;
    return selected_ >= 0;
}

void SchemeList::selectByProgram(int index) {
    selected_ = (index >= 0 && index < items_.size()) ? index : -1;
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
