// The copy never writes outside its destination, never keeps a copy that did
// not exist, and never drops a file without saying so.
#include "EngineFixture.h"
#include "engine/SpaceCheck.h"
#include "engine/TreeWalk.h"

#include <QProcess>
#include <QStandardPaths>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
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
        TreeWalk(state, port, io).WalkTree(native(src), native(dst));
    }
    void scan() {
        state.run = RunState{};
        state.run.SizeScanMode = true;
        TreeWalk(state, port, io).WalkTree(native(src), native(dst));
        state.run.SizeScanMode = false;
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
    const QString file = tree.write("src/f.bin", QByteArray(3 * TreeWalk::StepSize, 'o'));
    io.duringCopy = [&](int step) {
        if (step == 2) // the first copy is half done
            writeAt(file, 0, QByteArray(3 * TreeWalk::StepSize, 'n'));
    };
    copy();
    EXPECT_TRUE(port.boxes().isEmpty());
    EXPECT_EQ(TempTree::read(dst + "/f.bin"), QByteArray(3 * TreeWalk::StepSize, 'n'));
    EXPECT_EQ(statOf(dst + "/f.bin").st_mtim.tv_nsec, statOf(file).st_mtim.tv_nsec);
    EXPECT_EQ(state.run.FilesCopied, 1);

    // Cut short in the middle: the copy is the shorter file, not a longer one.
    tree.write("src/f.bin", QByteArray(3 * TreeWalk::StepSize, 'x'));
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
    const QString file = tree.write("src/log.txt", QByteArray(2 * TreeWalk::StepSize, 'a'));
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

// A real case-blind file system where this machine allows one: a tmpfs with
// case folding, or a FAT image on a loop device.
class CaseBlindMount {
public:
    explicit CaseBlindMount(const QString& folder) : m_folder(folder) {
        QDir().mkpath(folder);
        if (geteuid() != 0) {
            m_why = "mounting needs root";
            return;
        }
        if (::mount("tmpfs", native(folder).constData(), "tmpfs", 0, "casefold") == 0) {
            m_mounted = true;
            const QString inner = folder + "/fold";
            QDir().mkpath(inner);
            const int fd = ::open(native(inner).constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            bool folds = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
            flags |= FS_CASEFOLD_FL;
            folds = folds && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            if (fd >= 0)
                ::close(fd);
            if (folds) {
                m_root = inner;
                return;
            }
            unmount();
        }
        const QString mkfs = QStandardPaths::findExecutable("mkfs.vfat", {"/sbin", "/usr/sbin"});
        if (mkfs.isEmpty()) {
            m_why = "no case-folding tmpfs here (kernel without CONFIG_UNICODE) and no mkfs.vfat";
            return;
        }
        m_image = folder + ".img";
        QFile image(m_image);
        if (!image.open(QIODevice::WriteOnly) || !image.resize(32 << 20))
            return;
        image.close();
        if (QProcess::execute(mkfs, {"-q", m_image}) != 0 ||
            QProcess::execute("mount", {"-o", "loop", m_image, folder}) != 0) {
            m_why = "no case-folding tmpfs here and no FAT loop mount (module or loop devices "
                    "missing)";
            return;
        }
        m_mounted = true;
        m_root = folder;
    }
    ~CaseBlindMount() {
        unmount();
        if (!m_image.isEmpty())
            QFile::remove(m_image);
    }
    QString root() const { return m_root; }
    QString whyNot() const { return m_why; }

private:
    void unmount() {
        if (m_mounted)
            ::umount2(native(m_folder).constData(), MNT_DETACH);
        m_mounted = false;
    }
    QString m_folder, m_root, m_image, m_why;
    bool m_mounted = false;
};

TEST_F(CopySafetyTest, OnARealCaseBlindFileSystemTooWhereOneCanBeMounted) {
    const CaseBlindMount blind(tree.at("blind"));
    if (blind.root().isEmpty())
        GTEST_SKIP() << blind.whyNot().toStdString();
    dst = blind.root() + "/backup";
    tree.write("src/report.txt", "lower");
    tree.write("src/REPORT.txt", "UPPER");
    port.script({Answer::ignore()});
    copy();
    EXPECT_EQ(state.run.FilesCopied, 1);
    EXPECT_EQ(state.run.RunErrors, 1);
    const QStringList boxes = port.boxes().filter("Could Not Create");
    ASSERT_EQ(boxes.size(), 1) << port.boxes().join('|').toStdString();
    EXPECT_TRUE(boxes[0].contains("Name Clashes With"));
    EXPECT_EQ(QDir(dst).entryList(QDir::Files).size(), 1);
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

TEST_F(CopySafetyTest, ADestinationRefusingModesTimesOrUnnamedFilesStillGetsItsCopies) {
    tree.write("src/a.txt", "a");
    tree.write("src/b.txt", "b");
    for (int refused : {EOPNOTSUPP, EPERM}) {
        io.setModeError = refused;
        io.unnamedError = refused == EPERM ? 0 : EOPNOTSUPP;
        copy();
        EXPECT_TRUE(port.boxes().isEmpty());
        EXPECT_EQ(state.run.FilesCopied, 2);
        EXPECT_EQ(TempTree::read(dst + "/b.txt"), "b");
        QDir(dst).removeRecursively();
    }

    // Times that cannot be set: one notice a run, no error.
    io.setModeError = 0;
    io.unnamedError = 0;
    io.setTimeError = EPERM;
    for (int run = 1; run <= 2; ++run) {
        QDir(dst).removeRecursively();
        copy();
        EXPECT_EQ(state.run.FilesCopied, 2);
        EXPECT_EQ(state.run.RunErrors, 0);
        ASSERT_EQ(port.boxes().size(), run);
        EXPECT_TRUE(port.boxes().last().startsWith(
            "Error (1) Could Not Set The File Time Of: " + dst + "/"));
    }
    for (const PortEvent& e : port.events) {
        if (e.text.startsWith("Error (1)")) {
            EXPECT_EQ(e.kind, PortEvent::Information);
        }
    }
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
