// The copy never writes outside its destination, never keeps a copy that did
// not exist, and never drops a file without saying so.
#include "EngineFixture.h"
#include "ScratchMount.h"
#include "engine/DestinationCase.h"
#include "engine/TreeWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvia::test {
namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    lstat(native(path).constData(), &st);
    return st;
}

void writeAt(const QString& path, off_t offset, const QByteArray& bytes) {
    const int fd = ::open(native(path).constData(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.constData(), size_t(bytes.size()), offset), bytes.size());
    ::close(fd);
}

struct CopySafetyTest : EngineFixture {
    QString src = tree.mkdir("src");
    QString dst = tree.at("dst");

    void copy() {
        state.flags.AbortRequested = false;
        state.run = RunState{};
        walk(RunMode::Copy, src, dst);
    }
    void scan() {
        state.run = RunState{};
        walk(RunMode::SizeScan, src, dst);
    }
    QStringList boxesSince(size_t from) const {
        QStringList out;
        for (size_t i = from; i < port.events.size(); ++i)
            if (port.events[i].kind != PortEvent::SetText && port.events[i].kind != PortEvent::Beep)
                out << port.events[i].text;
        return out;
    }
};

TEST_F(CopySafetyTest, ALinkAtTheDestinationIsReplacedNeverWrittenThrough) {
    const QString notes = tree.write("outside/notes.txt", "the only copy");
    ASSERT_EQ(symlink("../outside", native(src + "/docs").constData()), 0);
    copy();
    ASSERT_EQ(statOf(dst + "/docs").st_mode & S_IFMT, S_IFLNK);

    // The user puts a real folder where the link was; the next run must make
    // a folder at the destination too, not write through the old link.
    ASSERT_EQ(unlink(native(src + "/docs").constData()), 0);
    tree.write("src/docs/notes.txt", "new notes");
    // And a link at the destination where the source has a file, newer than
    // it, so that it would pass for up to date.
    tree.write("src/plain.txt", "plain");
    ASSERT_EQ(symlink("../outside/notes.txt", native(dst + "/plain.txt").constData()), 0);
    const timespec later[2] = {{0, UTIME_OMIT}, {4000000000, 0}};
    utimensat(AT_FDCWD, native(dst + "/plain.txt").constData(), later, AT_SYMLINK_NOFOLLOW);
    copy();

    EXPECT_TRUE(port.boxes().isEmpty()) << port.boxes().join('|').toStdString();
    EXPECT_EQ(TempTree::read(notes), "the only copy");
    EXPECT_EQ(statOf(dst + "/docs").st_mode & S_IFMT, S_IFDIR);
    EXPECT_EQ(TempTree::read(dst + "/docs/notes.txt"), "new notes");
    EXPECT_EQ(statOf(dst + "/plain.txt").st_mode & S_IFMT, S_IFREG);
    EXPECT_EQ(TempTree::read(dst + "/plain.txt"), "plain");
    EXPECT_EQ(QDir(tree.at("outside")).entryList(QDir::Files), QStringList{"notes.txt"});
}

TEST_F(CopySafetyTest, ALinkSwappedInWhileTheRunGoesIsRefused) {
    const QString notes = tree.write("outside/notes.txt", "the only copy");
    tree.write("src/docs/notes.txt", "new notes");
    io.afterMakeFolder = [&](const QByteArray& name) {
        if (name != "docs")
            return;
        rmdir(native(dst + "/docs").constData());
        symlink("../outside", native(dst + "/docs").constData());
    };
    port.script({Answer::ignore()});
    copy();
    EXPECT_EQ(port.boxes(), QStringList{"Error (" + QString::number(ENOTDIR) +
                                        ") Could Not Create: " + dst + "/docs/notes.txt"});
    EXPECT_EQ(TempTree::read(notes), "the only copy");
    EXPECT_TRUE(leftovers(tree.at("outside")).isEmpty());
}

TEST_F(CopySafetyTest, AFileInTheWayOfAFolderIsReportedAndKept) {
    tree.write("src/report/a.txt", "a");
    tree.write("dst/report", "an earlier backup's file");
    port.script({Answer::ignore()});
    copy();
    EXPECT_EQ(port.boxes(), QStringList{"Error (" + QString::number(ENOTDIR) +
                                        ") Could Not Create: " + dst + "/report"});
    EXPECT_EQ(state.run.RunErrors, 1);
    EXPECT_EQ(TempTree::read(dst + "/report"), "an earlier backup's file");

    // Folder 2 itself a file: said once for the whole tree, not once a file.
    dst = tree.write("folder2", "not a folder any more");
    copy();
    EXPECT_EQ(port.boxes().mid(1),
              QStringList{"Error (" + QString::number(ENOTDIR) + ") Could Not Create: " + dst});
    EXPECT_EQ(state.run.RunErrors, 1);
    EXPECT_EQ(state.run.FilesCopied, 0);
}

TEST_F(CopySafetyTest, AFolderInTheWayOfAFileIsNeverUpToDate) {
    tree.write("src/report", QByteArray(300, 'r'));
    tree.mkdir("dst/report");
    TempTree::setMtime(dst + "/report", 4000000000); // newer than the file
    for (int run = 0; run < 2; ++run) {
        port.script({Answer::ignore()});
        copy();
        EXPECT_EQ(port.boxes().value(run),
                  "Error (" + QString::number(EISDIR) + ") Could Not Create: " + dst + "/report");
        EXPECT_EQ(state.run.RunErrors, 1);
        EXPECT_EQ(state.run.FilesCopied, 0);
    }
    scan();
    EXPECT_EQ(state.run.FilesFound, 1);
    EXPECT_EQ(state.run.ByteTotal, 300);
}

TEST_F(CopySafetyTest, ASourceRewrittenDuringItsCopyIsCopiedAgain) {
    const QString file = tree.write("src/f.bin", QByteArray(kSeveralSteps, 'o'));
    io.duringCopy = [&](int step) {
        if (step == 2) // the first copy is half done
            writeAt(file, 0, QByteArray(kSeveralSteps, 'n'));
    };
    copy();
    EXPECT_TRUE(port.boxes().isEmpty());
    EXPECT_EQ(TempTree::read(dst + "/f.bin"), QByteArray(kSeveralSteps, 'n'));
    EXPECT_EQ(statOf(dst + "/f.bin").st_mtim.tv_nsec, statOf(file).st_mtim.tv_nsec);
    EXPECT_EQ(state.run.FilesCopied, 1);

    // Cut short in the middle: the copy is the shorter file, not a longer one.
    tree.write("src/f.bin", QByteArray(kSeveralSteps, 'x'));
    state.settings.CopyOnlyNewer = false; // within the same two-second step
    io.copySteps = 0;
    io.duringCopy = [&](int step) {
        if (step == 2)
            truncate(native(file).constData(), 1000);
    };
    copy();
    EXPECT_EQ(TempTree::read(dst + "/f.bin"), QByteArray(1000, 'x'));
    EXPECT_TRUE(leftovers(dst).isEmpty());
}

TEST_F(CopySafetyTest, ASourceThatKeepsChangingIsReportedAndTheNextRunTakesIt) {
    const QString file = tree.write("src/log.txt", QByteArray(kSeveralSteps, 'a'));
    tree.write("dst/log.txt", "previous");
    TempTree::setMtime(dst + "/log.txt", 1000000000);
    char next = 'b';
    io.duringCopy = [&](int) { writeAt(file, 0, QByteArray(10, next++)); };
    port.script({Answer::ignore()});
    copy();
    EXPECT_EQ(port.boxes(), QStringList{"Error (" + QString::number(EBUSY) +
                                        ") Could Not Read: " + src + "/log.txt"});
    EXPECT_EQ(state.run.RunErrors, 1);
    EXPECT_EQ(state.run.FilesCopied, 0);
    EXPECT_EQ(TempTree::read(dst + "/log.txt"), "previous");
    EXPECT_EQ(TempTree::mtime(dst + "/log.txt"), 1000000000);
    EXPECT_TRUE(leftovers(dst).isEmpty());

    io.duringCopy = nullptr;
    copy();
    EXPECT_EQ(TempTree::read(dst + "/log.txt"), TempTree::read(file));
}

TEST_F(CopySafetyTest, NamesThatOneCaseBlindNameHoldsAreReportedNeverOverwritten) {
    tree.write("src/report.txt", "lower");
    tree.write("src/REPORT.txt", "UPPER");
    tree.write("src/Docs/a.txt", "a");
    tree.write("src/docs/b.txt", "b");
    // The fake lists names in lower case: every probe must see that, or the
    // listing would be trusted and a backup written over.
    io.caseBlindBelow = native(tree.mkdir("probe"));
    const int probeFolder = ::open(io.caseBlindBelow.constData(), O_RDONLY | O_DIRECTORY);
    for (int probe = 0; probe < 200; ++probe)
        ASSERT_EQ(probeDestinationCase(io, probeFolder), DestinationCase::BlindRespelt);
    ::close(probeFolder);
    // With files made without a name (found taken when named), and with
    // hidden names moved into place, as on FAT.
    for (int unnamed : {0, EOPNOTSUPP}) {
        dst = tree.at(unnamed ? "fat" : "dst");
        io.caseBlindBelow = native(dst);
        io.unnamedError = unnamed;
        for (int run = 0; run < 2; ++run) {
            const size_t from = port.events.size();
            port.script({Answer::ignore(), Answer::ignore()});
            copy();
            const QString boxes = boxesSince(from).join('|');
            EXPECT_EQ(boxesSince(from).size(), 2) << boxes.toStdString();
            EXPECT_EQ(state.run.RunErrors, 2);
            // Whichever came first stays; the other is named with it.
            const bool upperFirst = boxes.contains("Create: " + dst + "/report.txt\n");
            EXPECT_EQ(TempTree::read(dst + "/report.txt"), upperFirst ? "UPPER" : "lower");
            EXPECT_TRUE(boxes.contains(
                ") Could Not Create: " + dst + (upperFirst ? "/report.txt" : "/REPORT.txt") +
                "\nName Clashes With " + dst + (upperFirst ? "/REPORT.txt" : "/report.txt") +
                " (The Destination Does Not Tell Letter Case Apart)"))
                << boxes.toStdString();
            EXPECT_TRUE(
                boxes.contains("Create: " + dst + "/docs\nName Clashes With " + dst + "/Docs") ||
                boxes.contains("Create: " + dst + "/Docs\nName Clashes With " + dst + "/docs"))
                << boxes.toStdString();
            EXPECT_EQ(QDir(dst + "/docs").entryList(QDir::Files).size(), 1);
            EXPECT_EQ(state.run.FilesCopied, run == 0 ? 2 : 0);
            EXPECT_TRUE(leftovers(dst).isEmpty());
        }
    }
}

TEST_F(CopySafetyTest, OnARealFatStickNoSpellingOfANameOverwritesAnother) {
    const ScratchMount stick(ScratchMount::FatStick, tree.at("stick"));
    if (!stick.mounted())
        GTEST_SKIP() << stick.whyNot().toStdString();
    auto clashes = [&](size_t from) { return boxesSince(from).filter("Name Clashes With"); };

    // A later run: the only backup of report.txt stays when REPORT.txt comes.
    dst = stick.folder() + "/later";
    tree.write("src/report.txt", "lower");
    copy();
    ASSERT_EQ(state.run.FilesCopied, 1);
    tree.write("src/REPORT.txt", "UPPER, and newer");
    TempTree::setMtime(tree.at("src/REPORT.txt"), TempTree::mtime(tree.at("src/report.txt")) + 60);
    for (int run = 0; run < 2; ++run) {
        const size_t from = port.events.size();
        port.script({Answer::ignore()});
        copy();
        EXPECT_EQ(clashes(from), QStringList{"Error (17) Could Not Create: " + dst +
                                             "/REPORT.txt\nName Clashes With " + dst +
                                             "/report.txt (The Destination Does Not Tell Letter "
                                             "Case Apart)"});
        EXPECT_EQ(state.run.RunErrors, 1);
        EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList{"report.txt"});
        EXPECT_EQ(TempTree::read(dst + "/report.txt"), "lower");
    }

    // The same run: whichever name comes first is backed up, the other reported.
    dst = stick.folder() + "/same";
    tree.write("src/Docs/a.txt", "a");
    tree.write("src/docs/b.txt", "b");
    const size_t from = port.events.size();
    port.script({Answer::ignore(), Answer::ignore()});
    copy();
    EXPECT_EQ(clashes(from).size(), 2) << boxesSince(from).join('|').toStdString();
    EXPECT_EQ(state.run.RunErrors, 2);
    const QStringList files = QDir(dst).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(TempTree::read(dst + "/" + files[0]), TempTree::read(src + "/" + files[0]));
    EXPECT_EQ(QDir(dst).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

// Five files to a FAT stick (no modes at all) and six to a share whose server
// refuses mode and time changes: every one arrives whole, with one notice.
TEST_F(CopySafetyTest, OnARealStickOrShareThatRefusesModesEveryFileIsBackedUp) {
    struct Case {
        ScratchMount::Kind kind;
        int files;
        QString notice;
    };
    int mounted = 0;
    QStringList why;
    for (const Case& c : {Case{ScratchMount::FatStick, 5, "Permissions"},
                          Case{ScratchMount::RefusingShare, 6, "Permissions And File Times"}}) {
        const ScratchMount mount(c.kind, tree.at(QString("mount%1").arg(c.kind)));
        if (!mount.mounted()) {
            why << mount.whyNot();
            continue;
        }
        ++mounted;
        src = tree.mkdir(QString("src%1").arg(c.kind));
        for (int i = 0; i < c.files; ++i)
            tree.write(QString("src%1/f%2.txt").arg(c.kind).arg(i),
                       QByteArray(1000 * i * i + 1, char('a' + i)));
        dst = mount.folder() + "/backup";
        const size_t from = port.events.size();
        copy();
        EXPECT_EQ(state.run.FilesCopied, c.files);
        EXPECT_EQ(state.run.RunErrors, 0);
        for (int i = 0; i < c.files; ++i) {
            const QString name = QString("/f%1.txt").arg(i);
            EXPECT_EQ(TempTree::read(dst + name), TempTree::read(src + name)) << name.toStdString();
        }
        const QStringList boxes = boxesSince(from);
        ASSERT_EQ(boxes.size(), 1) << boxes.join('|').toStdString();
        EXPECT_TRUE(boxes[0].startsWith(
            "The Copies Are Complete, But The Destination Does Not Keep Their " + c.notice))
            << boxes[0].toStdString();

        // Every backup replaced: the names and nothing else (no hidden leftovers).
        state.settings.CopyOnlyNewer = false;
        copy();
        state.settings.CopyOnlyNewer = true;
        EXPECT_EQ(state.run.FilesCopied, c.files);
        EXPECT_EQ(QDir(dst).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), c.files);
    }
    if (mounted == 0)
        GTEST_SKIP() << why.join("; ").toStdString();
}

TEST_F(CopySafetyTest, SparseFilesKeepTheirHoles) {
    const QString file = tree.at("src/disk.img");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64 << 20)); // ends in a hole
    }
    writeAt(file, 0, QByteArray(64 << 10, 'a'));
    writeAt(file, 32 << 20, QByteArray(100, 'b'));
    const QString tail = tree.at("src/tail.img"); // data up to its end
    {
        QFile f(tail);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(16 << 20));
    }
    writeAt(tail, (16 << 20) - 10, "0123456789");
    if (statOf(file).st_blocks * 512 > (1 << 20))
        GTEST_SKIP() << "this file system does not keep holes";

    copy();
    for (const QString& name : {QString("disk.img"), QString("tail.img")}) {
        const struct stat from = statOf(src + "/" + name), to = statOf(dst + "/" + name);
        EXPECT_EQ(to.st_size, from.st_size) << name.toStdString();
        EXPECT_LE(to.st_blocks, from.st_blocks + 64) << name.toStdString(); // 32 KiB of slack
        EXPECT_EQ(TempTree::read(dst + "/" + name), TempTree::read(src + "/" + name));
    }
    EXPECT_EQ(state.run.ByteTotal, (64 << 20) + (16 << 20));

    // Where holes cannot be asked for, every byte is copied, and right.
    io.findDataError = EINVAL;
    state.settings.CopyOnlyNewer = false;
    copy();
    EXPECT_EQ(TempTree::read(dst + "/disk.img"), TempTree::read(file));
}

TEST_F(CopySafetyTest, WhatADestinationDoesNotKeepLeavesTheCopiesWithOneNotice) {
    tree.write("src/a.txt", "a");
    tree.write("src/b.txt", "b");
    TempTree::setMtime(tree.at("src/b.txt"), 1000000000); // a time a copy cannot have by chance
    struct Case {
        int mode, time;
        bool timesIgnored;
        QString notice;
    };
    const QString times = "File Times";
    for (const Case& c :
         {Case{ENOSYS, 0, false, "Permissions"}, Case{EOPNOTSUPP, 0, false, {}},
          Case{EPERM, 0, false, {}}, Case{EACCES, 0, false, {}}, Case{EINVAL, 0, false, {}},
          Case{0, EPERM, false, times}, Case{0, 0, true, times},
          Case{EACCES, EACCES, false, "Permissions And File Times"}}) {
        io.setModeError = c.mode;
        io.setTimeError = c.time;
        io.timesIgnored = c.timesIgnored;
        io.unnamedError = c.mode == EOPNOTSUPP ? EOPNOTSUPP : 0; // hidden names too
        QDir(dst).removeRecursively();
        const size_t from = port.events.size();
        copy();
        EXPECT_EQ(state.run.FilesCopied, 2);
        EXPECT_EQ(state.run.RunErrors, 0);
        EXPECT_EQ(TempTree::read(dst + "/b.txt"), "b");
        ASSERT_EQ(boxesSince(from).size(), 1) << c.mode << " " << c.time;
        const PortEvent& notice = port.events.back();
        EXPECT_EQ(notice.kind, PortEvent::Information);
        EXPECT_TRUE(notice.text.startsWith(
            "The Copies Are Complete, But The Destination Does Not Keep Their " +
            (c.notice.isEmpty() ? "Permissions" : c.notice) + "\nFirst Seen With: " + dst + "/"))
            << notice.text.toStdString();
        EXPECT_EQ(notice.text.contains("Copying Only Newer Files Cannot Be Trusted There"),
                  c.time != 0 || c.timesIgnored);
    }
}

TEST_F(CopySafetyTest, ANearlyFullDestinationHasRoomForEveryFileItReplaces) {
    const ScratchMount stick(ScratchMount::Tmpfs, tree.at("stick")); // 64 MiB
    if (!stick.mounted())
        GTEST_SKIP() << stick.whyNot().toStdString();
    dst = stick.folder() + "/backup";
    constexpr int kFiles = 6; // 54 MiB: room for one more copy in the making, no more
    for (char version : {'a', 'b'}) {
        for (int i = 0; i < kFiles; ++i) {
            const QString file =
                tree.write("src/f" + QString::number(i), QByteArray(9 << 20, version));
            TempTree::setMtime(file, 1000000000 + version);
        }
        copy();
        EXPECT_EQ(state.run.FilesCopied, kFiles);
        EXPECT_EQ(state.run.RunErrors, 0);
        EXPECT_TRUE(port.boxes().isEmpty()) << port.boxes().join('|').toStdString();
        // Nothing of the run holds the stick once it is over.
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
            EXPECT_FALSE(fd.symLinkTarget().startsWith(stick.folder()))
                << fd.symLinkTarget().toStdString();
    }
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(TempTree::read(dst + "/f" + QString::number(i)), QByteArray(9 << 20, 'b'));
}

TEST_F(CopySafetyTest, StaleTemporariesOfAKilledRunGoAndNothingElse) {
    tree.write("src/sub/f.txt", "f");
    tree.write("src/.quorvia.Keep01", "the source's own file of that form");
    const QStringList stale{"dst/.quorvia.Ab12Cd", "dst/sub/.quorvia.zz99ZZ"};
    const QStringList kept{"dst/.quorvia.Ab12C", "dst/.quorvia.Ab12Cd7", "dst/.quorvia.Ab-2Cd",
                           "dst/.Quorvia.Ab12Cd", "dst/other.txt"};
    tree.write(stale[0], "half a copy");
    tree.mkdir("dst/sub");
    ASSERT_EQ(symlink("somewhere", native(tree.at(stale[1])).constData()), 0);
    for (const QString& name : kept)
        tree.write(name, "keep");
    tree.mkdir("dst/.quorvia.Fold3r");
    tree.write("dst/.quorvia.Keep01", "an older copy of the source's file");
    TempTree::setMtime(tree.at("dst/.quorvia.Keep01"), 1000000000);
    copy();

    for (const QString& name : stale)
        EXPECT_FALSE(TempTree::exists(tree.at(name))) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_EQ(TempTree::read(tree.at(name)), "keep") << name.toStdString();
    EXPECT_TRUE(QFileInfo(tree.at("dst/.quorvia.Fold3r")).isDir());
    EXPECT_EQ(TempTree::read(tree.at("dst/.quorvia.Keep01")), "the source's own file of that form");
    EXPECT_TRUE(port.boxes().isEmpty());
}

} // namespace
} // namespace quorvia::test
