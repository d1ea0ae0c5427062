#include "ui/DirectoryList.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace quorvia {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this, &DirectoryList::open);
}

bool DirectoryList::setDirectory(const QString& folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!QFileInfo(clean).isDir())
        return false;
    m_directory = clean;
    // The drive is the longest known drive root the folder lies on; "/" at least.
    if (!(clean == m_drive || clean.startsWith(m_drive == "/" ? m_drive : m_drive + '/')))
        m_drive = QStringLiteral("/");
    m_lastOnDrive[m_drive] = clean;
    rebuild();
    Q_EMIT directoryChanged(m_directory);
    return true;
}

bool DirectoryList::setDrive(const QString& drive) {
    if (!QFileInfo(drive).isDir())
        return false;
    m_drive = QDir::cleanPath(drive);
    const QString last = m_lastOnDrive.value(m_drive, m_drive);
    return setDirectory(QFileInfo(last).isDir() ? last : m_drive) || setDirectory(m_drive);
}

void DirectoryList::rebuild() {
    clear();
    if (m_directory.isEmpty())
        return;
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chosen folder and the folders above it, each indented one step more.
    QStringList chain;
    for (QString f = m_directory;; f = QFileInfo(f).path()) {
        chain.prepend(f);
        if (f == "/" || QFileInfo(f).path() == f)
            break;
    }
    int depth = 0;
    for (const QString& f : chain) {
        const QString name = f == "/" ? QStringLiteral("/") : QFileInfo(f).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, f);
        ++depth;
    }
    setCurrentRow(count() - 1);
    const QStringList subfolders =
        QDir(m_directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, QDir(m_directory).filePath(name));
    }
}

void DirectoryList::open(QListWidgetItem* item) {
    if (item)
        setDirectory(item->data(kPathRole).toString());
}

} // namespace quorvia
