#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace quorvia {

// What a copy run worked on, for the work-list window: each folder it visited
// and each file it copied, in order, and a mark when it was aborted. Kept
// compact: each entry holds its own name and the folder it lies in, so that a
// run of hundreds of thousands of files costs a few megabytes.
class WorkList {
public:
    // A folder: the destination root by its whole path (parent -1), or a
    // folder inside an earlier one by its name. Returns its index for the
    // entries inside it.
    int addFolder(int parent, const QByteArray& name);
    void addFile(int folder, const QByteArray& name);
    void addAborted();
    void clear();

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // The window's line: "FOLDER -> " and the folder's path, a copied file's
    // destination path, or "(ABORTED)".
    QString line(qsizetype index) const;
    QStringList lines() const;

private:
    enum Kind : uint8_t { Folder, File, Aborted };
    struct Entry {
        uint32_t nameStart;
        uint32_t nameLength : 24;
        uint32_t kind : 8;
        int32_t parent; // folder entry, -1 for the root
    };
    QByteArray path(int32_t entry) const;

    std::vector<Entry> m_entries;
    QByteArray m_names;
};

} // namespace quorvia
