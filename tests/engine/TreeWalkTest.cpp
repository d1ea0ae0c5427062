#include "engine/TreeWalk.h"
#include "EngineFixture.h"

#include "platform/FileSystem.h"
#include <QRegularExpression>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvia::test {
namespace {

struct TreeWalkTest : EngineFixture {
    QString src = tree.mkdir("src");
    QString dst = tree.at("dst");

    void copy() { walk(RunMode::Copy, src, dst); }

    // The work list a walk in the file system's own order must give.
    QStringList expectedWalk(const QByteArray& folder, const QString& to) {
        QStringList lines{"FOLDER -> " + to};
        platform::DirReader reader;
        reader.open(folder);
        platform::DirEntry e;
        while (reader.next(e)) {
            if (e.name == "." || e.name == "..")
                continue;
            const QString target = platform::joinPath(QFile::encodeName(to), e.name);
            if (e.type == platform::EntryType::Directory)
                lines += expectedWalk(platform::joinPath(folder, e.name), target);
            else
                lines << target;
        }
        return lines;
    }
};

TEST_F(TreeWalkTest, TwoLevelsCopyByteExactInWalkOrder) {
    tree.write("src/a.txt", "alpha");
    tree.write("src/one/b.txt", QByteArray(70000, 'b')); // several blocks
    tree.write("src/one/deep/c.txt", "");
    tree.write("src/two/d.txt", "delta");
    TempTree::setMtime(src + "/two/d.txt", 1500000000, 123456789);
    copy();

    EXPECT_EQ(state.run.WorkList.lines(), expectedWalk(QFile::encodeName(src), dst + "/"));
    EXPECT_EQ(state.run.FolderCount, 4);
    EXPECT_EQ(state.run.FilesCopied, 4);
    EXPECT_EQ(state.run.ByteTotal, 5 + 70000 + 5);
    EXPECT_EQ(TempTree::read(dst + "/one/b.txt"), QByteArray(70000, 'b'));
    EXPECT_TRUE(TempTree::exists(dst + "/one/deep/c.txt"));
    struct stat st {};
    lstat(QFile::encodeName(dst + "/two/d.txt").constData(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_TRUE(port.boxes().isEmpty());
}

TEST_F(TreeWalkTest, OnlyNewerComparesInTwoSecondSteps) {
    const QString a = tree.write("src/same.txt", "new"), b = tree.write("src/newer.txt", "new");
    tree.write("dst/same.txt", "old");
    tree.write("dst/newer.txt", "old");
    for (const QString& f : {a, dst + "/same.txt", dst + "/newer.txt"})
        TempTree::setMtime(f, 1600000000);
    TempTree::setMtime(b, 1600000002);
    copy();
    EXPECT_EQ(TempTree::read(dst + "/same.txt"), "old");
    EXPECT_EQ(TempTree::read(dst + "/newer.txt"), "new");
    EXPECT_EQ(state.run.FilesCopied, 1);
    EXPECT_EQ(io.filesOpened, 1) << "a file up to date is judged by its status, never opened";

    state.settings.CopyOnlyNewer = false; // now even an identical file is copied over
    tree.write("src/short.txt", QByteArray(10, 's'));
    tree.write("dst/short.txt", QByteArray(100, 'L'));
    copy();
    EXPECT_EQ(TempTree::read(dst + "/same.txt"), "new");
    EXPECT_EQ(TempTree::read(dst + "/short.txt"), QByteArray(10, 's'));
}

TEST_F(TreeWalkTest, AttributesCarryOverAndArchiveIsResetOnTheCopyOnly) {
    if (!platform::supportsExtendedAttributes(QFile::encodeName(src)))
        GTEST_SKIP() << "no user extended attributes here";
    const QByteArray ro = QFile::encodeName(tree.write("src/ro.txt", "keep"));
    const QByteArray arch = QFile::encodeName(tree.write("src/arch.txt", "bits"));
    platform::writeAttributes(ro, platform::AttrReadOnly);
    platform::writeAttributes(arch, platform::AttrArchive | platform::AttrSystem);
    state.settings.ResetArchiveFlag = true;
    copy();

    auto attributes = [](const QByteArray& path) {
        uint32_t a = 0;
        platform::readAttributes(path, a);
        return a;
    };
    EXPECT_EQ(attributes(ro), platform::AttrReadOnly);
    EXPECT_EQ(attributes(QFile::encodeName(dst) + "/ro.txt"), platform::AttrReadOnly);
    EXPECT_EQ(attributes(arch), platform::AttrArchive | platform::AttrSystem);
    EXPECT_EQ(attributes(QFile::encodeName(dst) + "/arch.txt"), platform::AttrSystem);
}

TEST_F(TreeWalkTest, HiddenAndSystemFoldersFollowTheirSettings) {
    tree.write("src/.hidden/h.txt", "h");
    tree.write("src/sys/s.txt", "s");
    tree.write("src/.dotfile", "d");
    const bool xattrs = platform::supportsExtendedAttributes(QFile::encodeName(src));
    platform::writeAttributes(QFile::encodeName(src + "/sys"), platform::AttrSystem);
    state.settings.CopyHidden = false;
    state.settings.CopySystem = false;
    copy();
    EXPECT_FALSE(TempTree::exists(dst + "/.hidden"));
    EXPECT_FALSE(TempTree::exists(dst + "/.dotfile"));
    EXPECT_EQ(TempTree::exists(dst + "/sys"), !xattrs);

    state.settings.CopyHidden = state.settings.CopySystem = true;
    copy();
    EXPECT_EQ(TempTree::read(dst + "/.hidden/h.txt"), "h");
    EXPECT_EQ(TempTree::read(dst + "/sys/s.txt"), "s");
}

TEST_F(TreeWalkTest, LinksAreRecreatedSpecialFilesPassedOverOddNamesKept) {
    tree.write("src/sub/f.txt", "f");
    ASSERT_EQ(symlink("..", QFile::encodeName(src + "/sub/up").constData()), 0);
    ASSERT_EQ(symlink("sub/f.txt", QFile::encodeName(src + "/flink").constData()), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(src + "/pipe").constData(), 0600), 0);
    const QByteArray odd = QFile::encodeName(src) + "/caf\xe9\xff.txt"; // not UTF-8
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "odd", 3), 3);
    ::close(fd);
    tree.write("dst/flink", "a regular file where the link goes");
    state.settings.CopyOnlyNewer = false;
    copy();

    char target[64] = {};
    ASSERT_GT(readlink(QFile::encodeName(dst + "/sub/up").constData(), target, 63), 0);
    EXPECT_STREQ(target, "..");
    EXPECT_GT(readlink(QFile::encodeName(dst + "/flink").constData(), target, 63), 0);
    EXPECT_FALSE(TempTree::exists(dst + "/pipe"));
    const QByteArray oddCopy = QFile::encodeName(dst) + "/caf\xe9\xff.txt";
    char bytes[8] = {};
    const int in = ::open(oddCopy.constData(), O_RDONLY);
    EXPECT_EQ(::read(in, bytes, sizeof(bytes)), 3);
    EXPECT_STREQ(bytes, "odd");
    ::close(in);
    EXPECT_EQ(state.run.FolderCount, 2);
    EXPECT_TRUE(leftovers(dst).isEmpty());
}

TEST_F(TreeWalkTest, AbortInTheMiddleOfAFileKeepsTheOldCopy) {
    const QString big = tree.write("src/big.bin", QByteArray(kSeveralSteps, 'N'));
    tree.write("dst/big.bin", "previous");
    TempTree::setMtime(dst + "/big.bin", 1000000000);
    port.onPump = [&] { state.flags.AbortRequested |= io.bytesWritten >= 1; };
    copy();
    EXPECT_EQ(TempTree::read(dst + "/big.bin"), "previous");
    EXPECT_EQ(TempTree::mtime(dst + "/big.bin"), 1000000000);
    EXPECT_TRUE(leftovers(dst).isEmpty());
    EXPECT_EQ(state.run.FilesCopied, 0);
    EXPECT_EQ(port.boxes(), QStringList{"Quorvia Was Aborted During Synch Process, All Files "
                                        "Might Not Be On Destination"});

    // The old copy kept its old time, so the next run takes the file again.
    port.onPump = nullptr;
    state.flags.AbortRequested = false;
    copy();
    EXPECT_EQ(TempTree::read(dst + "/big.bin"), TempTree::read(big));
}

TEST_F(TreeWalkTest, EventsAreHandledByTimeNotForEveryEntry) {
    for (int i = 0; i < 200; ++i)
        tree.write(QString("src/f%1.txt").arg(i), "x");
    port.pumpInterval = 60000;
    copy();
    EXPECT_EQ(state.run.FilesCopied, 200);
    EXPECT_EQ(port.pumps, 1); // the first chance, then not again within the interval
}

TEST_F(TreeWalkTest, ALargeFileMovesThePercentageWhileItIsCopied) {
    const int blocks = 48;
    tree.write("src/big.bin", QByteArray(blocks * TreeWalk::BlockSize, 'L'));
    state.run.BytesNeeded = blocks * TreeWalk::BlockSize;
    port.setText(Field::Title, "Quorvia (A)");
    // A slow stick: each step of the copy takes a tenth of the caption's interval.
    io.duringCopy = [](int) { QThread::msleep(WindowPresenter::CaptionIntervalMs / 10); };
    QStringList shown;
    port.onPump = [&] {
        if (state.run.FilesCopied == 0 &&
            (shown.isEmpty() || shown.last() != port.text(Field::Title)))
            shown << port.text(Field::Title);
    };
    copy();
    EXPECT_GE(shown.filter(QRegularExpression(" - [1-9][0-9]?%$")).size(), 2)
        << shown.join(" | ").toStdString();
    EXPECT_TRUE(port.text(Field::Title).endsWith(" - 100%"));
}

TEST_F(TreeWalkTest, WriteFailuresStopTheRunAndLeaveTheDestinationWhole) {
    const struct {
        int error;
        const char* text;
    } cases[] = {{ENOSPC, ") Destination Full, Could Not Write: "}, {EIO, ") Could Not Write: "}};
    for (const auto& c : cases) {
        tree.write("src/f.bin", QByteArray(100000, 'x'));
        tree.write("dst/f.bin", "old");
        TempTree::setMtime(dst + "/f.bin", 1000000000);
        io.bytesWritten = 0;
        io.writeFailsAfter = 40000;
        io.writeError = c.error;
        port.events.clear();
        state.flags.AbortRequested = false;
        state.run = RunState{};
        copy();
        EXPECT_EQ(port.boxes().value(0),
                  "Error (" + QString::number(c.error) + c.text + dst + "/f.bin");
        EXPECT_EQ(state.run.RunErrors, 1);
        EXPECT_TRUE(state.flags.AbortRequested);
        EXPECT_EQ(TempTree::read(dst + "/f.bin"), "old");
        EXPECT_TRUE(leftovers(dst).isEmpty());
    }
}

TEST_F(TreeWalkTest, ReadAndOpenFailuresAreCountedAndTheRunGoesOn) {
    tree.write("src/a.bin", QByteArray(50000, 'a'));
    tree.write("src/locked/b.txt", "b");
    chmod(QFile::encodeName(src + "/locked").constData(), 0);
    io.readFailsAfter = 30720;
    port.script({Answer::ignore(), Answer::ignore()});
    copy();
    chmod(QFile::encodeName(src + "/locked").constData(), 0755);

    const QStringList boxes = port.boxes();
    EXPECT_TRUE(boxes.contains("Error (5) Could Not Read: " + src + "/a.bin"))
        << boxes.join('|').toStdString();
    EXPECT_FALSE(TempTree::exists(dst + "/a.bin"));
    EXPECT_TRUE(leftovers(dst).isEmpty());
    EXPECT_FALSE(state.flags.AbortRequested);
    // Root reads any folder; other users get a second box for it.
    EXPECT_EQ(state.run.RunErrors, geteuid() == 0 ? 1 : 2);
    if (geteuid() != 0) {
        EXPECT_TRUE(boxes.contains("Error (13) Could Not Open Folder: " + src + "/locked"));
    }
}

TEST_F(TreeWalkTest, ADestinationInsideTheSourceIsNotCopiedIntoItself) {
    tree.write("src/a.txt", "a");
    dst = src + "/backup";
    copy();
    EXPECT_EQ(TempTree::read(dst + "/a.txt"), "a");
    EXPECT_FALSE(TempTree::exists(dst + "/backup"));
}

} // namespace
} // namespace quorvia::test
