#include "app/WorkList.h"

#include <QFile>

namespace quorvia {

int WorkList::addFolder(int parent, const QByteArray& name) {
    m_entries.push_back(Entry{uint32_t(m_names.size()), uint32_t(name.size()), Folder, parent});
    m_names += name;
    return int(m_entries.size() - 1);
}

void WorkList::addFile(int folder, const QByteArray& name) {
    m_entries.push_back(Entry{uint32_t(m_names.size()), uint32_t(name.size()), File, folder});
    m_names += name;
}

void WorkList::addAborted() {
    m_entries.push_back(Entry{0, 0, Aborted, -1});
}

void WorkList::clear() {
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_names.clear();
    m_names.squeeze();
}

QByteArray WorkList::path(int32_t index) const {
    const Entry& entry = m_entries[size_t(index)];
    const QByteArray name = m_names.mid(entry.nameStart, entry.nameLength);
    if (entry.parent < 0)
        return name;
    QByteArray folder = path(entry.parent);
    if (!folder.endsWith('/'))
        folder += '/';
    return folder + name;
}

QString WorkList::line(qsizetype index) const {
    const Entry& entry = m_entries[size_t(index)];
    switch (entry.kind) {
    case Folder:
        return "FOLDER -> " + QFile::decodeName(path(int32_t(index)));
    case File:
        return QFile::decodeName(path(int32_t(index)));
    default:
        return QStringLiteral("(ABORTED)");
    }
}

QStringList WorkList::lines() const {
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out << line(i);
    return out;
}

} // namespace quorvia
