#include "platform/FileSystem.h"

#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <set>

using namespace quorvia::platform;
using quorvia::test::TempTree;

namespace {
QByteArray native(const QString& p) {
    return QFile::encodeName(p);
}
} // namespace

TEST(DirReaderTest, ListsEveryKindOfEntryWithByteNames) {
    TempTree t;
    t.write("plain.txt", "x");
    t.mkdir("sub");
    const QByteArray root = native(t.path());
    const QByteArray odd = QByteArray("bad\xff\xfe name");
    ASSERT_EQ(0, ::close(::open((root + "/" + odd).constData(), O_CREAT | O_WRONLY, 0644)));
    ASSERT_EQ(0, symlink("..", (root + "/up").constData()));
    ASSERT_EQ(0, mkfifo((root + "/pipe").constData(), 0644));

    DirReader reader;
    ASSERT_EQ(0, reader.open(root));
    std::map<QByteArray, EntryType> seen;
    DirEntry e;
    while (reader.next(e))
        seen[e.name] = e.type;
    EXPECT_EQ(EntryType::Directory, seen.at("."));
    EXPECT_EQ(EntryType::File, seen.at("plain.txt"));
    EXPECT_EQ(EntryType::Directory, seen.at("sub"));
    EXPECT_EQ(EntryType::File, seen.at(odd)) << "a name that is not UTF-8 keeps its bytes";
    EXPECT_EQ(EntryType::Symlink, seen.at("up"));
    EXPECT_EQ(EntryType::Special, seen.at("pipe"));

    DirReader missing;
    EXPECT_EQ(ENOENT, missing.open(root + "/nope"));
    EXPECT_FALSE(missing.next(e));
}

TEST(AttributesTest, ReadOnlyHiddenAndFolderComeFromTheFileItself) {
    TempTree t;
    const QByteArray file = native(t.write(".secret", "x"));
    const QByteArray dir = native(t.mkdir("folder"));
    uint32_t a = 0;
    ASSERT_EQ(0, readAttributes(file, a));
    EXPECT_EQ(uint32_t(AttrHidden), a);
    ASSERT_EQ(0, readAttributes(dir, a));
    EXPECT_EQ(uint32_t(AttrDirectory), a);

    ASSERT_EQ(0, writeAttributes(file, AttrReadOnly | AttrHidden));
    struct stat st {};
    stat(file.constData(), &st);
    EXPECT_EQ(0u, st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
    ASSERT_EQ(0, readAttributes(file, a));
    EXPECT_EQ(uint32_t(AttrReadOnly | AttrHidden), a);

    ASSERT_EQ(0, writeAttributes(file, 0));
    ASSERT_EQ(0, readAttributes(file, a));
    EXPECT_EQ(uint32_t(AttrHidden), a) << "hidden follows the name and cannot be cleared";
    EXPECT_EQ(ENOENT, readAttributes(native(t.at("missing")), a));
}

TEST(AttributesTest, SystemAndArchiveLiveInTheExtendedAttribute) {
    TempTree t;
    const QByteArray file = native(t.write("f.bin", "x"));
    if (!supportsExtendedAttributes(file))
        GTEST_SKIP() << "the test file system keeps no user extended attributes";
    ASSERT_EQ(0, writeAttributes(file, AttrSystem | AttrArchive | AttrReadOnly));
    char buf[32] = {};
    const ssize_t n = getxattr(file.constData(), "user.DOSATTRIB", buf, sizeof(buf) - 1);
    ASSERT_GT(n, 0);
    EXPECT_STREQ("0x24", buf);
    uint32_t a = 0;
    ASSERT_EQ(0, readAttributes(file, a));
    EXPECT_EQ(uint32_t(AttrSystem | AttrArchive | AttrReadOnly), a);

    ASSERT_EQ(0, writeAttributes(file, AttrSystem));
    ASSERT_EQ(0, readAttributes(file, a));
    EXPECT_EQ(uint32_t(AttrSystem), a);
    ASSERT_EQ(0, writeAttributes(file, 0));
    EXPECT_LT(getxattr(file.constData(), "user.DOSATTRIB", buf, sizeof(buf)), 0);
}

TEST(FileTimeTest, DosDateTimeIsLocalWithTwoSecondSteps) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 2024-03-15 13:45:31 UTC
    const timespec t{1710510331, 0};
    const int32_t dos = dosDateTime(t);
    const uint32_t u = static_cast<uint32_t>(dos);
    EXPECT_EQ(2024u - 1980u, u >> 25);
    EXPECT_EQ(3u, (u >> 21) & 0xF);
    EXPECT_EQ(15u, (u >> 16) & 0x1F);
    EXPECT_EQ(13u, (u >> 11) & 0x1F);
    EXPECT_EQ(45u, (u >> 5) & 0x3F);
    EXPECT_EQ(15u, u & 0x1F);
    EXPECT_EQ(dos, dosDateTime({1710510330, 999999999})) << "same two-second step";
    EXPECT_LT(dos, dosDateTime({1710510332, 0})) << "next step compares later";
    EXPECT_EQ(0x00210000, dosDateTime({0, 0})) << "before 1980 clamps to the first DOS day";
}

TEST(FileTimeTest, SetAndReadLastWriteTimeWithFullPrecision) {
    TempTree t;
    const QByteArray file = native(t.write("a", "x"));
    ASSERT_EQ(0, setLastWriteTime(file, timespec{1600000000, 123456789}));
    timespec got{};
    ASSERT_EQ(0, lastWriteTime(file, got));
    EXPECT_EQ(1600000000, got.tv_sec);
    EXPECT_EQ(123456789, got.tv_nsec);
}

TEST(ErrorClassTest, MapsErrnoToTheMeaningsTheProgramReports) {
    EXPECT_EQ(ErrorClass::None, classifyError(0));
    EXPECT_EQ(ErrorClass::NotFound, classifyError(ENOENT));
    EXPECT_EQ(ErrorClass::NotFound, classifyError(ENOTDIR));
    for (int e : {EACCES, EPERM, EBUSY, ETXTBSY, EROFS})
        EXPECT_EQ(ErrorClass::ShareViolation, classifyError(e)) << e;
    EXPECT_EQ(ErrorClass::NoSpace, classifyError(ENOSPC));
    EXPECT_EQ(ErrorClass::NoSpace, classifyError(EDQUOT));
    EXPECT_EQ(ErrorClass::AlreadyExists, classifyError(EEXIST));
    EXPECT_EQ(ErrorClass::DriveNotReady, classifyError(ENOMEDIUM));
    EXPECT_EQ(ErrorClass::Other, classifyError(EIO));
}

TEST(ReplaceFileContentsTest, ReplacesWholeKeepsModeAndLeavesNoTemporary) {
    TempTree t;
    const QString path = t.write("x.sch", QByteArray(100, 'o'));
    chmod(native(path).constData(), 0640);
    ASSERT_EQ(0, replaceFileContents(native(path), "new"));
    EXPECT_EQ("new", TempTree::read(path));
    struct stat st {};
    stat(native(path).constData(), &st);
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(1, QDir(t.path()).entryList(QDir::Files).size());
    EXPECT_EQ(ENOENT, replaceFileContents(native(t.at("no/such/x.sch")), "x"));
}

TEST(FolderOverlapTest, RealFoldersDecideWithLinksAndDotDotResolved) {
    TempTree t;
    const QByteArray outer = native(t.mkdir("outer"));
    const QByteArray photos = native(t.mkdir("outer/Photos"));
    native(t.mkdir("outer/Photos/sub"));
    const QByteArray other = native(t.mkdir("other"));
    ASSERT_EQ(0, symlink("outer", native(t.at("alias")).constData()));
    auto overlap = [](const QByteArray& from, const QByteArray& to) {
        FolderOverlap o = FolderOverlap::None;
        EXPECT_EQ(0, folderOverlap(from, to, o));
        return o;
    };
    EXPECT_EQ(FolderOverlap::SourceInsideDestination, overlap(photos, outer));
    EXPECT_EQ(FolderOverlap::SourceInsideDestination, overlap(photos + "/sub", outer + "/"));
    EXPECT_EQ(FolderOverlap::SourceInsideDestination, overlap(photos, native(t.at("alias"))));
    EXPECT_EQ(FolderOverlap::Same, overlap(photos + "/sub/..", native(t.at("alias/Photos"))));
    EXPECT_EQ(FolderOverlap::Same, overlap(native(t.at("alias")), outer + "/."));
    EXPECT_EQ(FolderOverlap::None, overlap(outer, photos)) << "the walk keeps out of that one";
    EXPECT_EQ(FolderOverlap::None, overlap(photos, other));
    EXPECT_EQ(FolderOverlap::None, overlap(photos, outer + "/not-yet"));
    EXPECT_EQ(FolderOverlap::None, overlap(native(t.at("gone")), outer));
}

TEST(ReplaceFileContentsTest, AReadOnlyFileIsRefusedWhoeverAsks) {
    TempTree t;
    const QString path = t.write("x.sch", "old");
    chmod(native(path).constData(), 0444);
    EXPECT_EQ(EACCES, replaceFileContents(native(path), "new"));
    EXPECT_EQ("old", TempTree::read(path));
}
