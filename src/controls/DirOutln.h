#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace quorvia::controls {

// A folder that could not be made the process's working folder.
class EInOutError : public std::runtime_error {
public:
    EInOutError(int errorCode, const QByteArray& folder);
    int errorCode() const { return m_errorCode; }
    QByteArray folder() const { return m_folder; }
    // "Error (" errno ") Could Not Open Folder: " folder
    QString message() const { return QString::fromUtf8(what()); }

private:
    int m_errorCode;
    QByteArray m_folder;
};

// The folders of one drive as a tree: the drive's root folder is the only
// top-level item, and a folder's subfolders are read from the disk the first
// time it is expanded, once. A drive is a mounted volume's root folder.
//
// Paths are native bytes throughout, so a name that is not valid UTF-8 still
// names its folder; only the item texts are decoded. On a case-sensitive file
// system a re-cased name would name another folder (or none), so `TextCase`
// changes only what the items show and how they sort: `CurrentFolder`, the
// working folder and the folder comparisons keep the names as stored.
class TDirectoryOutline : public QTreeWidget {
    Q_OBJECT
    Q_PROPERTY(TTextCase TextCase READ TextCase WRITE setTextCase)
    Q_PROPERTY(
        QString CurrentDrive READ CurrentDrive WRITE setCurrentDrive DESIGNABLE false STORED false)
    Q_PROPERTY(QString CurrentFolder READ CurrentFolder WRITE setCurrentFolder
                   DESIGNABLE false STORED false)
    Q_PROPERTY(TOutlineOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(int ItemHeight READ ItemHeight WRITE setItemHeight)
    Q_PROPERTY(QIcon PictureOpen READ PictureOpen WRITE setPictureOpen)
    Q_PROPERTY(QIcon PictureClosed READ PictureClosed WRITE setPictureClosed)
    Q_PROPERTY(QIcon PictureLeaf READ PictureLeaf WRITE setPictureLeaf)
    Q_PROPERTY(TScrollStyle ScrollBars READ ScrollBars WRITE setScrollBars)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
public:
    enum TTextCase : uint8_t { tcLowerCase, tcUpperCase, tcAsIs };
    Q_ENUM(TTextCase)
    enum TOutlineOption { ooDrawTreeRoot = 1, ooDrawFocusRect = 2, ooStretchBitmaps = 4 };
    Q_DECLARE_FLAGS(TOutlineOptions, TOutlineOption)
    Q_FLAG(TOutlineOptions)
    enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
    Q_ENUM(TScrollStyle)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    using TNotifyEvent = std::function<void(TDirectoryOutline* Sender)>;
    using TItemEvent = std::function<void(TDirectoryOutline* Sender, QTreeWidgetItem* Item)>;
    using TErrorEvent = std::function<void(TDirectoryOutline* Sender, const EInOutError& Error)>;

    explicit TDirectoryOutline(QWidget* parent = nullptr);
    ~TDirectoryOutline() override;

    // After the current folder changed or the tree was rebuilt.
    TNotifyEvent OnChange;
    // The user made another item current (mouse or keys), before it becomes the current folder.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TItemEvent OnExpand;
    TItemEvent OnCollapse;
    // A folder the user picked could not be made the working folder. Without a
    // handler the failure is only logged.
    TErrorEvent OnError;

    // The drives: the mounted volumes that are ready, unless a list was set.
    QList<QByteArray> drives() const;
    void setDrives(const QList<QByteArray>& roots);
    void useMountedDrives() { m_drives.reset(); }
    // The drive a path lies on: the longest drive root it lies under; empty for none.
    QByteArray driveOf(const QByteArray& path) const;

    TTextCase TextCase() const { return m_textCase; }
    void setTextCase(TTextCase value);
    // The drive root; empty until known.
    QString CurrentDrive() const;
    QByteArray currentDriveNative() const { return m_currentDrive; }
    // A folder that is not a drive root does nothing; so does the current drive.
    // Otherwise the drive and its root become current; throws EInOutError when
    // the root cannot be made the working folder (the drive has changed already).
    void setCurrentDrive(const QString& drive);
    void setCurrentDriveNative(const QByteArray& drive);
    // Full path without a trailing '/' (except "/").
    QString CurrentFolder() const;
    QByteArray currentFolderNative() const { return m_currentFolder; }
    // Expands `folder` to a full path (relative to the working folder) and makes
    // it current and the working folder; throws EInOutError when it cannot be
    // the working folder (the current folder has changed already). An empty
    // value or the current folder does nothing.
    void setCurrentFolder(const QString& folder);
    void setCurrentFolderNative(const QByteArray& folder);

    TOutlineOptions Options() const { return m_options; }
    void setOptions(TOutlineOptions options);
    int ItemHeight() const { return m_itemHeight; }
    void setItemHeight(int height);
    QIcon PictureOpen() const { return m_pictureOpen; }
    void setPictureOpen(const QIcon& icon);
    QIcon PictureClosed() const { return m_pictureClosed; }
    void setPictureClosed(const QIcon& icon);
    QIcon PictureLeaf() const { return m_pictureLeaf; }
    void setPictureLeaf(const QIcon& icon);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void setScrollBars(TScrollStyle value);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle value);

    // The text as this outline's case shows it.
    QString ForceCase(const QString& text) const;
    // Selects the item of `folder`, expanding (and reading) the folders above it.
    // Stops at the deepest folder of the path that the tree lists.
    void SelectFolder(const QByteArray& folder);

    // An item's folder as native bytes; its own name; whether its subfolders were read.
    static QByteArray itemPath(const QTreeWidgetItem* item);
    static QByteArray itemName(const QTreeWidgetItem* item);
    static bool itemRead(const QTreeWidgetItem* item);
    QTreeWidgetItem* driveItem() const { return topLevelItem(0); }

    // Reads one level below `item` (again, if it was read before). A folder that
    // cannot be listed gets no children and counts as read.
    virtual void ReadSubfolders(QTreeWidgetItem* item);
    // Rebuilds the tree from the current drive and selects the current folder.
    virtual void BuildTree();
    // Reads every folder below `item` that has not been read yet.
    virtual void ReadSubtree(QTreeWidgetItem* item);
    virtual void Change();

protected:
    // The first polish plays the window's creation.
    bool event(QEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void takeWorkingFolder();
    void switchToDrive(const QByteArray& drive);
    void expandFolder(QTreeWidgetItem* item);
    void itemWasExpanded(QTreeWidgetItem* item);
    void itemWasCollapsed(QTreeWidgetItem* item);
    void click();
    void updatePicture(QTreeWidgetItem* item) const;
    void updateAllPictures();
    QTreeWidgetItem* newItem(const QByteArray& name) const;
    QByteArray sortKey(const QByteArray& name) const;

    std::optional<QList<QByteArray>> m_drives;
    QByteArray m_currentDrive;
    QByteArray m_currentFolder;
    TTextCase m_textCase = tcLowerCase;
    TOutlineOptions m_options = ooDrawFocusRect;
    int m_itemHeight = 16;
    QIcon m_pictureOpen;
    QIcon m_pictureClosed;
    QIcon m_pictureLeaf;
    QIcon m_pictureDrive;
    TScrollStyle m_scrollBars = ssBoth;
    TBorderStyle m_borderStyle = bsSingle;
    int m_quiet = 0; // > 0 while the outline itself moves the current item
    bool m_created = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDirectoryOutline::TOutlineOptions)

} // namespace quorvia::controls
