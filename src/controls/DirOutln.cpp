#include "controls/DirOutln.h"

#include "platform/Drives.h"
#include "platform/FileSystem.h"

#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStyledItemDelegate>
#include <QtDebug>
#include <algorithm>
#include <vector>

namespace quorvia::controls {

namespace {

constexpr int kReadRole = Qt::UserRole;     // 0 until the subfolders were read, then 1
constexpr int kNameRole = Qt::UserRole + 1; // the folder's name (the drive item: its root)

QByteArray errorText(int errorCode, const QByteArray& folder) {
    return "Error (" + QByteArray::number(errorCode) + ") Could Not Open Folder: " + folder;
}

QByteArray withoutTrailingSlash(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

// The full path of `path` with ".", ".." and doubled slashes resolved, relative
// paths taken from the working folder; links are left as they are.
QByteArray fullPath(const QByteArray& path) {
    QByteArray absolute = path;
    if (!absolute.startsWith('/'))
        absolute = platform::workingFolder() + '/' + absolute;
    QList<QByteArray> parts;
    for (const QByteArray& part : absolute.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}

bool isUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
}

// Row height and focus rectangle as the outline's options say.
class OutlineDelegate : public QStyledItemDelegate {
public:
    explicit OutlineDelegate(TDirectoryOutline* outline)
        : QStyledItemDelegate(outline), m_outline(outline) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(m_outline->ItemHeight());
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        if (!(m_outline->Options() & TDirectoryOutline::ooDrawFocusRect))
            opt.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, opt, index);
    }

private:
    TDirectoryOutline* m_outline;
};

} // namespace

EInOutError::EInOutError(int errorCode, const QByteArray& folder)
    : std::runtime_error(errorText(errorCode, folder).toStdString()), m_errorCode(errorCode),
      m_folder(folder) {}

TDirectoryOutline::TDirectoryOutline(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setUniformRowHeights(true);
    setItemDelegate(new OutlineDelegate(this));
    m_pictureOpen = style()->standardIcon(QStyle::SP_DirOpenIcon);
    m_pictureClosed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // An unread folder has no children yet: it should look closed, not like a leaf.
    m_pictureLeaf = m_pictureClosed;
    m_pictureDrive = style()->standardIcon(QStyle::SP_DriveHDIcon);
    setOptions(ooDrawFocusRect);
    setScrollBars(ssBoth);
    setBorderStyle(bsSingle);

    connect(this, &QTreeWidget::itemExpanded, this, &TDirectoryOutline::itemWasExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TDirectoryOutline::itemWasCollapsed);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (OnDblClick)
            OnDblClick(this);
    });
}

TDirectoryOutline::~TDirectoryOutline() = default;

// ---- drives

QList<QByteArray> TDirectoryOutline::drives() const {
    return m_drives ? *m_drives : platform::mountedDrives();
}

void TDirectoryOutline::setDrives(const QList<QByteArray>& roots) {
    QList<QByteArray> list;
    for (const QByteArray& root : roots)
        if (!root.isEmpty())
            list.append(withoutTrailingSlash(root));
    m_drives = list;
}

QByteArray TDirectoryOutline::driveOf(const QByteArray& path) const {
    QByteArray best;
    for (const QByteArray& root : drives()) {
        const bool under =
            root == "/" ? path.startsWith('/') : path == root || path.startsWith(root + '/');
        if (under && root.size() > best.size())
            best = root;
    }
    return best;
}

// ---- properties

void TDirectoryOutline::setTextCase(TTextCase value) {
    if (value == m_textCase)
        return;
    m_textCase = value;
    if (value == tcAsIs)
        takeWorkingFolder();
    BuildTree();
}

QString TDirectoryOutline::CurrentDrive() const {
    return QFile::decodeName(m_currentDrive);
}

void TDirectoryOutline::setCurrentDrive(const QString& drive) {
    setCurrentDriveNative(QFile::encodeName(drive));
}

void TDirectoryOutline::setCurrentDriveNative(const QByteArray& value) {
    const QByteArray drive = withoutTrailingSlash(value);
    if (drive.isEmpty() || !drives().contains(drive))
        return;
    if (!m_currentDrive.isEmpty() && drive == m_currentDrive)
        return;
    m_currentDrive = drive;
    if (const int error = platform::setWorkingFolder(drive))
        throw EInOutError(error, drive);
    // One working folder for all drives: a drive is entered at its root.
    m_currentFolder = drive;
    BuildTree();
}

QString TDirectoryOutline::CurrentFolder() const {
    return QFile::decodeName(m_currentFolder);
}

void TDirectoryOutline::setCurrentFolder(const QString& folder) {
    setCurrentFolderNative(QFile::encodeName(folder));
}

void TDirectoryOutline::setCurrentFolderNative(const QByteArray& value) {
    if (value.isEmpty())
        return;
    const QByteArray folder = fullPath(value);
    // Folder names differ by case on this file system: compare them exactly.
    if (folder == m_currentFolder)
        return;
    m_currentFolder = folder;
    if (const int error = platform::setWorkingFolder(folder))
        throw EInOutError(error, folder);
    const QByteArray drive = driveOf(folder);
    if (drive == m_currentDrive) {
        // The tree follows the current folder wherever it was set from.
        SelectFolder(folder);
        Change();
    } else if (drive.isEmpty()) {
        Change(); // on none of the drives: the tree keeps showing its own
    } else {
        switchToDrive(drive);
    }
}

void TDirectoryOutline::switchToDrive(const QByteArray& drive) {
    m_currentDrive = drive;
    BuildTree();
}

void TDirectoryOutline::takeWorkingFolder() {
    m_currentFolder = platform::workingFolder();
    m_currentDrive = driveOf(m_currentFolder);
}

void TDirectoryOutline::setOptions(TOutlineOptions options) {
    m_options = options;
    setRootIsDecorated(options & ooDrawTreeRoot);
    setIconSize(options & ooStretchBitmaps ? QSize(m_itemHeight, m_itemHeight) : QSize(16, 16));
    viewport()->update();
}

void TDirectoryOutline::setItemHeight(int height) {
    m_itemHeight = qMax(1, height);
    setOptions(m_options);
    scheduleDelayedItemsLayout();
}

void TDirectoryOutline::setPictureOpen(const QIcon& icon) {
    m_pictureOpen = icon;
    updateAllPictures();
}

void TDirectoryOutline::setPictureClosed(const QIcon& icon) {
    m_pictureClosed = icon;
    updateAllPictures();
}

void TDirectoryOutline::setPictureLeaf(const QIcon& icon) {
    m_pictureLeaf = icon;
    updateAllPictures();
}

void TDirectoryOutline::setScrollBars(TScrollStyle value) {
    m_scrollBars = value;
    const bool horizontal = value == ssHorizontal || value == ssBoth;
    const bool vertical = value == ssVertical || value == ssBoth;
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TDirectoryOutline::setBorderStyle(TBorderStyle value) {
    m_borderStyle = value;
    setFrameShape(value == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

// ---- items

QString TDirectoryOutline::ForceCase(const QString& text) const {
    switch (m_textCase) {
    case tcLowerCase:
        return text.toLower();
    case tcUpperCase:
        return text.toUpper();
    case tcAsIs:
        break;
    }
    return text;
}

QByteArray TDirectoryOutline::sortKey(const QByteArray& name) const {
    if (m_textCase == tcAsIs)
        return name;
    if (isUtf8(name))
        return ForceCase(QString::fromUtf8(name)).toUtf8();
    // Not text: case the ASCII letters only, leave every other byte.
    return m_textCase == tcLowerCase ? name.toLower() : name.toUpper();
}

QTreeWidgetItem* TDirectoryOutline::newItem(const QByteArray& name) const {
    auto* item = new QTreeWidgetItem;
    item->setText(0, ForceCase(QFile::decodeName(name)));
    item->setData(0, kNameRole, name);
    item->setData(0, kReadRole, 0);
    // Unread: it may have subfolders, so it can be opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    item->setToolTip(0, QFile::decodeName(name));
    return item;
}

QByteArray TDirectoryOutline::itemName(const QTreeWidgetItem* item) {
    return item ? item->data(0, kNameRole).toByteArray() : QByteArray();
}

bool TDirectoryOutline::itemRead(const QTreeWidgetItem* item) {
    return item && item->data(0, kReadRole).toInt() == 1;
}

QByteArray TDirectoryOutline::itemPath(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    QList<QByteArray> names;
    for (const QTreeWidgetItem* i = item; i; i = i->parent())
        names.prepend(itemName(i));
    QByteArray path = names.takeFirst();
    for (const QByteArray& name : names)
        path = platform::joinPath(path, name);
    return path;
}

void TDirectoryOutline::updatePicture(QTreeWidgetItem* item) const {
    if (!item->parent())
        item->setIcon(0, m_pictureDrive);
    else if (item->childCount() == 0)
        item->setIcon(0, m_pictureLeaf);
    else
        item->setIcon(0, item->isExpanded() ? m_pictureOpen : m_pictureClosed);
}

void TDirectoryOutline::updateAllPictures() {
    std::vector<QTreeWidgetItem*> stack;
    for (int i = 0; i < topLevelItemCount(); ++i)
        stack.push_back(topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        updatePicture(item);
        for (int i = 0; i < item->childCount(); ++i)
            stack.push_back(item->child(i));
    }
}

void TDirectoryOutline::ReadSubfolders(QTreeWidgetItem* item) {
    if (!item)
        return;
    ++m_quiet;
    const auto quiet = qScopeGuard([this] { --m_quiet; });
    qDeleteAll(item->takeChildren());

    const QByteArray folder = itemPath(item);
    struct Entry {
        QByteArray key;
        QByteArray name;
    };
    std::vector<Entry> entries;
    platform::DirReader reader;
    if (reader.open(folder) == 0) {
        platform::DirEntry entry;
        while (reader.next(entry)) {
            // Folders only (links are not followed); dot names are hidden.
            if (entry.type != platform::EntryType::Directory || entry.name.startsWith('.'))
                continue;
            uint32_t attributes = 0;
            if (platform::readAttributes(platform::joinPath(folder, entry.name), attributes) == 0 &&
                (attributes &
                 (platform::AttrHidden | platform::AttrSystem | platform::AttrVolumeLabel)))
                continue;
            entries.push_back({sortKey(entry.name), entry.name});
        }
    }
    // Ascending by ordinal of the shown (cased) name; names that case alike by their bytes.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;
    });
    QList<QTreeWidgetItem*> children;
    children.reserve(int(entries.size()));
    for (const Entry& e : entries)
        children.append(newItem(e.name));
    item->addChildren(children);
    for (QTreeWidgetItem* child : children)
        updatePicture(child); // by its place in the tree: after it has one
    item->setData(0, kReadRole, 1);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    updatePicture(item);
}

void TDirectoryOutline::ReadSubtree(QTreeWidgetItem* item) {
    // Without recursion: a deep tree must not exhaust the stack.
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* next = stack.back();
        stack.pop_back();
        if (!next)
            continue;
        if (!itemRead(next))
            ReadSubfolders(next);
        for (int i = next->childCount() - 1; i >= 0; --i)
            stack.push_back(next->child(i));
    }
}

void TDirectoryOutline::BuildTree() {
    {
        ++m_quiet;
        const auto quiet = qScopeGuard([this] { --m_quiet; });
        clear();
        if (!m_currentDrive.isEmpty()) {
            QTreeWidgetItem* drive = newItem(m_currentDrive);
            updatePicture(drive);
            addTopLevelItem(drive);
            SelectFolder(m_currentFolder);
        }
    }
    Change();
}

void TDirectoryOutline::Change() {
    if (OnChange)
        OnChange(this);
}

void TDirectoryOutline::expandFolder(QTreeWidgetItem* item) {
    if (!itemRead(item))
        ReadSubfolders(item);
    item->setExpanded(true);
}

void TDirectoryOutline::SelectFolder(const QByteArray& folder) {
    QTreeWidgetItem* item = driveItem();
    if (!item)
        return;
    ++m_quiet;
    const auto quiet = qScopeGuard([this] { --m_quiet; });
    const QByteArray root = itemName(item);
    QByteArray rest;
    if (root == "/" && folder.startsWith('/'))
        rest = folder.mid(1);
    else if (folder.startsWith(root + '/'))
        rest = folder.mid(root.size() + 1);
    for (const QByteArray& name : rest.split('/')) {
        if (name.isEmpty())
            continue;
        expandFolder(item);
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < item->childCount() && !found; ++i)
            if (itemName(item->child(i)) == name)
                found = item->child(i);
        if (!found)
            break; // a hidden folder or one made since the parent was read
        item = found;
    }
    setCurrentItem(item);
    scrollToItem(item);
}

// ---- events

void TDirectoryOutline::itemWasExpanded(QTreeWidgetItem* item) {
    if (!itemRead(item))
        ReadSubfolders(item);
    updatePicture(item);
    if (OnExpand)
        OnExpand(this, item);
}

void TDirectoryOutline::itemWasCollapsed(QTreeWidgetItem* item) {
    updatePicture(item);
    if (OnCollapse)
        OnCollapse(this, item);
}

void TDirectoryOutline::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeWidget::currentChanged(current, previous);
    if (m_quiet == 0 && current.isValid())
        click();
}

void TDirectoryOutline::click() {
    if (OnClick)
        OnClick(this);
    const QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    try {
        setCurrentFolderNative(itemPath(item));
    } catch (const EInOutError& error) {
        // Nothing above us can catch it: the event loop called us.
        if (OnError)
            OnError(this, error);
        else
            qWarning("%s", error.what());
    }
}

bool TDirectoryOutline::event(QEvent* e) {
    const bool handled = QTreeWidget::event(e);
    if (e->type() == QEvent::Polish && !m_created) {
        m_created = true;
        if (m_currentDrive.isEmpty()) {
            takeWorkingFolder();
            // Build now, so the tree shows the drive and folder just taken.
            BuildTree();
        }
    }
    return handled;
}

} // namespace quorvia::controls
