#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace quorvia {

// The saved schemes: the *.sch files of the scheme folder (any letter case),
// sorted by name, hidden and system files left out. Holds the selection and the rule for
// when a selection change loads a scheme.
class SchemeList : public QObject {
    Q_OBJECT
public:
    // Points the list at a folder and re-reads it; an empty folder empties the list.
    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    // Re-reads from disk; leaves nothing selected.
    void reread();

    const QStringList& items() const { return m_items; }
    int selectedIndex() const { return m_selected; }
    // Folder joined with the selected item; empty when nothing is selected.
    QString selectedPath() const;
    bool SchemeSelected() const { return !selectedPath().isEmpty(); }

    // A click or key of the user: true when the change must load the scheme
    // (the index differs from the one at the last raised change).
    bool selectByUser(int index);
    // A selection made by the program: raises no change.
    void selectByProgram(int index);

Q_SIGNALS:
    // The items or the selection changed (for the window to show).
    void changed();

private:
    QString m_folder;
    QStringList m_items;
    int m_selected = -1;
    int m_lastRaised = -1;
};

// Selects (without loading) the item named like the file name of `text`, with
// or without its .sch ending, ignoring case; its index, or -1.
int SelectSchemeByName(SchemeList& list, const QString& text);

} // namespace quorvia
