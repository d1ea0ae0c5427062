#pragma once

#include <QHash>
#include <QListWidget>
#include <QString>

namespace quorvia {

// The browser's folder list: the chosen folder with the folders above it,
// then its subfolders. Opening an item (double click or Enter) makes it the
// chosen folder. Each drive remembers the folder last chosen on it.
class DirectoryList : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent = nullptr);

    QString directory() const { return m_directory; }
    // Shows `folder` (made absolute and clean); false when it is not a folder.
    bool setDirectory(const QString& folder);
    // Shows the folder last chosen on `drive`, or its root.
    bool setDrive(const QString& drive);
    QString drive() const { return m_drive; }
    // Reads the folders from disk again.
    void rebuild();

Q_SIGNALS:
    void directoryChanged(const QString& folder);

private:
    void open(QListWidgetItem* item);

    QString m_directory;
    QString m_drive = QStringLiteral("/");
    QHash<QString, QString> m_lastOnDrive;
};

} // namespace quorvia
