#include "controls/DirOutln.h"

#include "platform/Drives.h"
#include "platform/FileSystem.h"

#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvia::controls;
using quorvia::platform::workingFolder;
using quorvia::test::TempTree;

namespace {

class DirectoryOutlineTest : public ::testing::Test {
protected:
    TempTree disk; // the one drive
    QByteArray root = QFile::encodeName(disk.path());
    TDirectoryOutline outline;
    QStringList events; // OnChange, OnClick, OnExpand, OnError in order

    void SetUp() override {
        outline.setDrives({root});
        outline.resize(300, 400);
        outline.OnChange = [this](TDirectoryOutline*) { events << "change"; };
        outline.OnClick = [this](TDirectoryOutline*) { events << "click"; };
        outline.OnExpand = [this](TDirectoryOutline*, QTreeWidgetItem* item) {
            events << "expand " + item->text(0);
        };
        outline.OnError = [this](TDirectoryOutline*, const EInOutError& e) {
            events << "error " + e.message();
        };
    }

    QByteArray at(const QByteArray& relative) const { return root + '/' + relative; }
    void mkdirs(std::initializer_list<const char*> relatives) const {
        for (const char* r : relatives)
            disk.mkdir(QString::fromUtf8(r));
    }

    static QStringList texts(const QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; i < item->childCount(); ++i)
            out << item->child(i)->text(0);
        return out;
    }
    static QTreeWidgetItem* child(QTreeWidgetItem* item, const QByteArray& name) {
        for (int i = 0; item && i < item->childCount(); ++i)
            if (TDirectoryOutline::itemName(item->child(i)) == name)
                return item->child(i);
        return nullptr;
    }
    // The drive item, opened the way the user opens it.
    QTreeWidgetItem* openDrive() {
        outline.setCurrentFolderNative(root);
        QTreeWidgetItem* drive = outline.driveItem();
        if (drive)
            drive->setExpanded(true);
        return drive;
    }
    void clickOn(QTreeWidgetItem* item) {
        QTest::mouseClick(outline.viewport(), Qt::LeftButton, {},
                          outline.visualItemRect(item).center());
    }
};

} // namespace

TEST_F(DirectoryOutlineTest, ListsSubfoldersCasedAndSortedByOrdinalLeavingOutTheRest) {
    mkdirs({"Zeta", "alpha", "Beta", "_under", "Ärger", ".hidden", "system"});
    disk.write("file.txt", "x");
    ASSERT_EQ(0, symlink("alpha", at("link").constData()));
    ASSERT_EQ(0, mkfifo(at("pipe").constData(), 0600));
    const bool xattrs = quorvia::platform::supportsExtendedAttributes(root);
    if (xattrs)
        ASSERT_EQ(0,
                  quorvia::platform::writeAttributes(at("system"), quorvia::platform::AttrSystem));
    else
        disk.mkdir(".system"); // keeps the name out: the attribute cannot be set here

    QTreeWidgetItem* drive = openDrive();
    ASSERT_TRUE(drive);
    EXPECT_EQ(QStringList({"_under", "alpha", "beta", "zeta", "ärger"}), texts(drive));

    outline.setTextCase(TDirectoryOutline::tcUpperCase);
    drive = openDrive();
    EXPECT_EQ(QStringList({"ALPHA", "BETA", "ZETA", "_UNDER", "ÄRGER"}), texts(drive));

    outline.setTextCase(TDirectoryOutline::tcAsIs);
    drive = openDrive();
    EXPECT_EQ(QStringList({"Beta", "Zeta", "_under", "alpha", "Ärger"}), texts(drive));
    if (!xattrs)
        std::cout << "[ note ] no user extended attributes here: system folder case not run\n";
}

TEST_F(DirectoryOutlineTest, ReadsEachFolderFromTheDiskOnceUntilRebuilt) {
    mkdirs({"a/x", "a/y"});
    QTreeWidgetItem* a = child(openDrive(), "a");
    ASSERT_TRUE(a);
    a->setExpanded(true);
    EXPECT_EQ(QStringList({"x", "y"}), texts(a));

    ASSERT_TRUE(QDir(disk.at("a/y")).removeRecursively());
    disk.mkdir("a/z");
    a->setExpanded(false);
    a->setExpanded(true);
    outline.SelectFolder(at("a/x"));
    EXPECT_EQ(QStringList({"x", "y"}), texts(a)) << "read again";

    outline.BuildTree();
    outline.driveItem()->setExpanded(true);
    a = child(outline.driveItem(), "a");
    ASSERT_TRUE(a);
    a->setExpanded(true);
    EXPECT_EQ(QStringList({"x", "z"}), texts(a));

    // Reading the whole subtree reads only what was not read, and lists nothing twice.
    disk.mkdir("a/x/deep/deeper");
    outline.ReadSubtree(outline.driveItem());
    outline.ReadSubtree(outline.driveItem());
    EXPECT_EQ(QStringList({"x", "z"}), texts(a));
    EXPECT_TRUE(child(child(child(a, "x"), "deep"), "deeper"));
}

TEST_F(DirectoryOutlineTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const QByteArray latin1 = "caf\xE9";
    ASSERT_EQ(0, ::mkdir(at(latin1).constData(), 0755));
    ASSERT_EQ(0, ::mkdir(at(latin1 + "/inner").constData(), 0755));
    // QTemporaryDir removes by decoded names: these it cannot name.
    const auto cleanUp = qScopeGuard([&] {
        ::rmdir(at(latin1 + "/inner").constData());
        ::rmdir(at(latin1).constData());
    });
    outline.show();
    QTreeWidgetItem* item = child(openDrive(), latin1);
    ASSERT_TRUE(item);
    EXPECT_EQ(at(latin1), TDirectoryOutline::itemPath(item));
    EXPECT_TRUE(item->text(0).startsWith("caf"));

    clickOn(item);
    EXPECT_EQ(at(latin1), outline.currentFolderNative());
    EXPECT_EQ(at(latin1), workingFolder());
    item->setExpanded(true);
    EXPECT_EQ(QStringList({"inner"}), texts(item));
}

TEST_F(DirectoryOutlineTest, FolderThatCannotBeReadGetsNoChildrenAndCannotBeEntered) {
    mkdirs({"gone", "kept"});
    outline.show();
    QTreeWidgetItem* gone = child(openDrive(), "gone");
    ASSERT_TRUE(gone);
    ASSERT_TRUE(QDir(disk.at("gone")).removeRecursively());

    gone->setExpanded(true);
    EXPECT_EQ(0, gone->childCount());
    EXPECT_TRUE(TDirectoryOutline::itemRead(gone));
    EXPECT_EQ(QTreeWidgetItem::DontShowIndicatorWhenChildless, gone->childIndicatorPolicy());

    events.clear();
    clickOn(gone);
    ASSERT_EQ(2, events.size()) << events.join(" | ").toStdString();
    EXPECT_EQ("click", events[0]);
    EXPECT_EQ("error Error (2) Could Not Open Folder: " + QFile::decodeName(at("gone")), events[1]);
    EXPECT_EQ(root, workingFolder());

    EXPECT_THROW(outline.setCurrentFolderNative(at("missing")), EInOutError);
    EXPECT_EQ(at("missing"), outline.currentFolderNative()); // the field changed first
    EXPECT_EQ(root, workingFolder());
}

TEST_F(DirectoryOutlineTest, SettingTheFolderExpandsThePathAndFiresOnChange) {
    mkdirs({"a/b/c", "a/b2"});
    outline.setCurrentFolderNative(at("a/b/"));
    EXPECT_EQ(at("a/b"), outline.currentFolderNative());
    EXPECT_EQ(root, outline.currentDriveNative());
    EXPECT_EQ(at("a/b"), workingFolder());
    EXPECT_EQ(at("a/b"), TDirectoryOutline::itemPath(outline.currentItem()));
    EXPECT_TRUE(outline.driveItem()->isExpanded());
    EXPECT_TRUE(child(outline.driveItem(), "a")->isExpanded());
    EXPECT_FALSE(outline.currentItem()->isExpanded());
    EXPECT_EQ(QStringList({"expand " + QFile::decodeName(root).toLower(), "expand a", "change"}),
              events);

    events.clear();
    outline.setCurrentFolder("c"); // relative to the working folder
    EXPECT_EQ(at("a/b/c"), outline.currentFolderNative());
    EXPECT_EQ(at("a/b/c"), TDirectoryOutline::itemPath(outline.currentItem()));
    outline.setCurrentFolderNative(at("a/b/c"));
    outline.setCurrentFolder("");
    EXPECT_EQ(QStringList({"expand b", "change"}), events);

    outline.setCurrentFolder("../../b2");
    EXPECT_EQ(at("a/b2"), outline.currentFolderNative());
    outline.setCurrentFolderNative(root + '/');
    EXPECT_EQ(root, outline.currentFolderNative());
    EXPECT_EQ(outline.driveItem(), outline.currentItem());

    // A folder the tree does not list: the deepest one it lists is selected.
    disk.mkdir("a/.dot/x");
    outline.setCurrentFolderNative(at("a/.dot/x"));
    EXPECT_EQ(at("a/.dot/x"), outline.currentFolderNative());
    EXPECT_EQ(at("a"), TDirectoryOutline::itemPath(outline.currentItem()));
}

TEST_F(DirectoryOutlineTest, DrivesAreVolumeRoots) {
    TempTree other;
    const QByteArray second = QFile::encodeName(other.path());
    other.mkdir("p/q");
    outline.setDrives({root, second + '/'});
    disk.mkdir("a");
    outline.setCurrentFolderNative(at("a"));
    events.clear();

    outline.setCurrentDrive("7");
    outline.setCurrentDriveNative(at("a")); // a folder, not a drive
    outline.setCurrentDriveNative(root + '/');
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(at("a"), outline.currentFolderNative());

    outline.setCurrentDriveNative(second + '/');
    EXPECT_EQ(second, outline.currentDriveNative());
    EXPECT_EQ(second, outline.currentFolderNative());
    EXPECT_EQ(second, workingFolder());
    EXPECT_EQ(1, outline.topLevelItemCount());
    EXPECT_EQ(second, TDirectoryOutline::itemName(outline.driveItem()));
    EXPECT_EQ(QStringList({"change"}), events);

    // A folder on another drive switches the drive and stays the current folder.
    outline.setCurrentFolderNative(at("a"));
    EXPECT_EQ(root, outline.currentDriveNative());
    EXPECT_EQ(at("a"), outline.currentFolderNative());
    EXPECT_EQ(at("a"), TDirectoryOutline::itemPath(outline.currentItem()));
    outline.setCurrentFolderNative(second + "/p/q");
    EXPECT_EQ(second, outline.currentDriveNative());
    EXPECT_EQ(second + "/p/q", TDirectoryOutline::itemPath(outline.currentItem()));
}

TEST_F(DirectoryOutlineTest, WindowCreationTakesTheWorkingFolderOnce) {
    mkdirs({"a/b"});
    ASSERT_EQ(0, quorvia::platform::setWorkingFolder(at("a")));
    EXPECT_TRUE(outline.currentDriveNative().isEmpty());
    EXPECT_EQ(0, outline.topLevelItemCount());
    outline.show();
    EXPECT_EQ(root, outline.currentDriveNative());
    EXPECT_EQ(at("a"), outline.currentFolderNative());
    EXPECT_EQ(at("a"), TDirectoryOutline::itemPath(outline.currentItem()));
    EXPECT_EQ(1, events.count("change"));

    ASSERT_EQ(0, quorvia::platform::setWorkingFolder(at("a/b")));
    outline.hide();
    outline.show();
    EXPECT_EQ(at("a"), outline.currentFolderNative());

    // A working folder on none of the drives leaves the tree empty.
    TDirectoryOutline elsewhere;
    elsewhere.setDrives({at("a/b")});
    elsewhere.show();
    EXPECT_EQ(at("a/b"), elsewhere.currentFolderNative());
    EXPECT_EQ(at("a/b"), elsewhere.currentDriveNative());
    ASSERT_EQ(0, quorvia::platform::setWorkingFolder(root));
    TDirectoryOutline outside;
    outside.setDrives({at("a/b")});
    outside.show();
    EXPECT_EQ(root, outside.currentFolderNative());
    EXPECT_TRUE(outside.currentDriveNative().isEmpty());
    EXPECT_EQ(0, outside.topLevelItemCount());
}

TEST_F(DirectoryOutlineTest, TextCaseShowsNamesButPathsKeepTheirCase) {
    mkdirs({"Mixed/Inner"});
    outline.setCurrentFolderNative(at("Mixed/Inner"));
    EXPECT_EQ("inner", outline.currentItem()->text(0));
    EXPECT_EQ(at("Mixed/Inner"), outline.currentFolderNative());
    EXPECT_EQ(at("Mixed/Inner"), workingFolder());

    ASSERT_EQ(0, quorvia::platform::setWorkingFolder(at("Mixed")));
    events.clear();
    outline.setTextCase(TDirectoryOutline::tcAsIs);
    EXPECT_EQ(at("Mixed"), outline.currentFolderNative()) << "re-read from the working folder";
    EXPECT_EQ("Mixed", outline.currentItem()->text(0));
    EXPECT_EQ(1, events.count("change"));
}

TEST_F(DirectoryOutlineTest, ClickingAFolderMakesItCurrent) {
    mkdirs({"a", "b/inner"});
    outline.show();
    QTreeWidgetItem* drive = openDrive();
    QTreeWidgetItem* b = child(drive, "b");
    ASSERT_TRUE(b);
    events.clear();
    clickOn(b);
    EXPECT_EQ(QStringList({"click", "change"}), events);
    EXPECT_EQ(at("b"), outline.currentFolderNative());
    EXPECT_EQ(at("b"), workingFolder());
    EXPECT_FALSE(b->isExpanded());

    QTest::keyClick(&outline, Qt::Key_Up);
    EXPECT_EQ(at("a"), outline.currentFolderNative());

    // Pictures: an unread folder looks closed, an open one open.
    const auto key = [](const QIcon& icon) { return icon.cacheKey(); };
    EXPECT_EQ(key(outline.PictureClosed()), key(outline.PictureLeaf()));
    EXPECT_EQ(key(outline.PictureLeaf()), key(b->icon(0)));
    b->setExpanded(true);
    EXPECT_EQ(key(outline.PictureOpen()), key(b->icon(0)));
    b->setExpanded(false);
    EXPECT_EQ(key(outline.PictureClosed()), key(b->icon(0)));
}

TEST(DirectoryOutlineDrivesTest, WithoutAListTheDrivesAreTheMountedVolumes) {
    TDirectoryOutline outline;
    const QList<QByteArray> drives = outline.drives();
    if (!drives.contains("/"))
        GTEST_SKIP() << "\"/\" is no mounted volume here (a plain chroot)";
    for (const QByteArray& drive : drives) {
        EXPECT_TRUE(QFileInfo(QFile::decodeName(drive)).isDir()) << drive.constData();
        EXPECT_TRUE(drive == "/" || !drive.endsWith('/')) << drive.constData();
    }
    EXPECT_EQ("/", outline.driveOf("/"));
    EXPECT_FALSE(outline.driveOf("/usr/lib").isEmpty());
}
