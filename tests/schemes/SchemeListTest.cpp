#include "app/SchemeList.h"

#include "TempTree.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::TempTree;

TEST(SchemeListTest, ListsSchemeFilesOfAnyCaseSortedWithoutHiddenOnes) {
    TempTree t;
    for (const char* name : {"b.sch", "A.SCH", "c.Sch", ".hidden.sch", "notes.txt", "x.sch.bak"})
        t.write(name, "x");
    t.mkdir("folder.sch");
    SchemeList list;
    list.setFolder(t.path());
    EXPECT_EQ((QStringList{"A.SCH", "b.sch", "c.Sch"}), list.items());
    EXPECT_EQ(-1, list.selectedIndex());
    EXPECT_TRUE(list.selectedPath().isEmpty());
}

TEST(SchemeListTest, SchemeFilesWithTheSystemAttributeAreNotListed) {
    TempTree t;
    const QByteArray system = QFile::encodeName(t.write("System.sch", "x"));
    t.write("Plain.sch", "x");
    if (!quorvia::platform::supportsExtendedAttributes(system))
        GTEST_SKIP() << "the test file system keeps no user extended attributes";
    ASSERT_EQ(0, quorvia::platform::writeAttributes(system, quorvia::platform::AttrSystem));
    SchemeList list;
    list.setFolder(t.path());
    EXPECT_EQ(QStringList{"Plain.sch"}, list.items());
}

TEST(SchemeListTest, OnlyAUsersChangeToANewIndexLoads) {
    TempTree t;
    t.write("A.sch", "x");
    t.write("B.sch", "x");
    SchemeList list;
    list.setFolder(t.path() + "/");
    EXPECT_TRUE(list.selectByUser(0));
    EXPECT_EQ(t.path() + "/A.sch", list.selectedPath());
    list.selectByProgram(-1); // typing in a folder box
    EXPECT_FALSE(list.SchemeSelected());
    EXPECT_FALSE(list.selectByUser(0)) << "same scheme again keeps the typed folders";
    EXPECT_TRUE(list.SchemeSelected());
    EXPECT_TRUE(list.selectByUser(1));
    EXPECT_TRUE(list.selectByUser(0));
    list.reread();
    EXPECT_FALSE(list.SchemeSelected());
    EXPECT_TRUE(list.selectByUser(0)) << "a re-read forgets the last change";
}

TEST(SchemeListTest, SelectSchemeByNameIgnoresFolderExtensionAndCase) {
    TempTree t;
    t.write("Daily.sch", "x");
    t.write("Weekly.SCH", "x");
    SchemeList list;
    list.setFolder(t.path());
    EXPECT_EQ(1, SelectSchemeByName(list, "/any/where/weekly.sch"));
    EXPECT_EQ(1, list.selectedIndex());
    EXPECT_EQ(0, SelectSchemeByName(list, "DAILY"));
    EXPECT_EQ(-1, SelectSchemeByName(list, "Monthly"));
    EXPECT_EQ(0, list.selectedIndex()) << "a miss leaves the selection";
    EXPECT_TRUE(list.selectByUser(0)) << "a program selection does not count as the last change";
}
