// Zip mode through the run queue: the real component and library, the
// archives read back by Python's zipfile and 7-Zip.
#include "engine/ZipMode.h"
#include "ScriptedPort.h"
#include "TempTree.h"
#include "ZipFixture.h"
#include "commands/RunQueue.h"
#include "commands/ZipBoxesOnDialogs.h"
#include "schemes/SchemeFile.h"

#include <QLocale>

using namespace quorvia;
using namespace quorvia::test;

namespace {

class ZipModeTest : public ::testing::Test {
protected:
    TempTree tree;
    AppState state;
    ScriptedPort port;
    TZipMaster zip;
    ZipBoxesOnDialogs boxes{port};

    ZipModeTest() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        zip.SetDLLDirectory(ZIPDLL_DIR);
        zip.SetBoxes(&boxes);
        Settings& s = state.settings;
        s.ZipArchiveFlag = true;
        s.ZipCompression = 3;
        s.SchemeDir = tree.mkdir("schemes");
        state.schemeList.setFolder(s.SchemeDir);
        tree.write("src/a.txt", "alpha");
        tree.write("src/.hidden", "secret");
        tree.write("src/sub/b.txt", "beta");
        tree.mkdir("dst");
    }

    void queue(const QString& name, const QString& folder2) {
        const QString file = tree.write("schemes/" + name + ".sch",
                                        EncodeSchemeFile(NewSchemeLines(tree.at("src"), folder2)));
        SchemeQueue& q = state.queue;
        q.slots[++q.QueueLast] = SchemeRecord{file, tree.at("src"), folder2};
    }
    void run() { RunQueue(state, port, platform::posixFileIo(), &zip); }
};

} // namespace

TEST_F(ZipModeTest, ArchiveIsNamedAfterTheSchemeWithOneSeparator) {
    EXPECT_EQ("/save/Photos.zip", ArchivePath("/s/Photos.sch", "/save/"));
    EXPECT_EQ("/save/Backup.zip", ArchivePath("/other/Backup.sch", "/save"));
}

TEST_F(ZipModeTest, ARunZipsTheSourceWithFolderNamesAndHiddenFiles) {
    state.settings.ZipStoreDir = true;
    state.settings.CopyHidden = true;
    queue("Photos", tree.at("dst") + "/");
    run();
    const QString archive = tree.at("dst/Photos.zip");
    const QStringList names = namesOf(pythonList(archive));
    EXPECT_TRUE(names.contains("a.txt")) << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("sub/b.txt"));
    EXPECT_TRUE(names.contains(".hidden"));
    EXPECT_TRUE(sevenZipTests(archive));
    EXPECT_EQ(3, state.run.FilesCopied);
    EXPECT_EQ(int64_t(5 + 6 + 4), state.run.ByteTotal);
    EXPECT_EQ(SchemeRecord::Zipped, state.queue.slots[0].RunMode);
    EXPECT_EQ("File(s) Zipped:", port.text(Field::FilesCopiedCaption));
    EXPECT_EQ("99", DecodeSchemeLines(TempTree::read(tree.at("schemes/Photos.sch")), 9)[3]);
    EXPECT_FALSE(state.flags.Busy);
}

TEST_F(ZipModeTest, FolderNamesStrippedAndHiddenFilesLeftOut) {
    state.settings.ZipStoreDir = false;
    state.settings.CopyHidden = false;
    queue("Flat", tree.at("dst"));
    run();
    const QStringList names = namesOf(pythonList(tree.at("dst/Flat.zip")));
    EXPECT_TRUE(names.contains("a.txt"));
    EXPECT_TRUE(names.contains("b.txt"));
    EXPECT_FALSE(names.contains(".hidden"));
    EXPECT_FALSE(names.contains("sub/b.txt"));
}

TEST_F(ZipModeTest, ALibraryMessageShowsItsTextAndCode) {
    WindowPresenter presenter(state, port);
    EXPECT_EQ(Reply::Continue, presenter.problem(RunProblem(RunProblem::ArchiveProblem, 7, "abc")));
    EXPECT_EQ(QStringList{"abc\n Error#: 7"}, port.boxes());
}

TEST_F(ZipModeTest, ThePasswordIsAskedTwiceOncePerBatchAndEncrypts) {
    state.settings.ZipPassword = true;
    queue("One", tree.at("dst"));
    queue("Two", tree.at("dst"));
    // A mismatch asks again; then both schemes of the batch use the same password.
    port.script({Answer::typed("s3cret"), Answer::typed("secret"), Answer::typed("s3cret"),
                 Answer::typed("s3cret")});
    run();
    EXPECT_TRUE(port.answers.empty());
    EXPECT_TRUE(port.boxes().contains("The Two Passwords Differ, Please Type Them Again"));
    for (const char* name : {"dst/One.zip", "dst/Two.zip"}) {
        EXPECT_TRUE(sevenZipTests(tree.at(name), "s3cret")) << name;
        EXPECT_FALSE(sevenZipTests(tree.at(name), "wrong")) << name;
    }
    EXPECT_TRUE(zip.Password().isEmpty()) << "no password kept after the scheme";

    // The next batch asks again.
    queue("Three", tree.at("dst"));
    port.script({Answer::cancel()});
    run();
    EXPECT_FALSE(TempTree::exists(tree.at("dst/Three.zip")));
    EXPECT_TRUE(port.boxes().last().startsWith("No Password Given: "));
    EXPECT_EQ(1, state.run.RunErrors);
}

TEST_F(ZipModeTest, AbortDuringALargeAddKeepsTheOldArchive) {
    queue("Big", tree.at("dst"));
    run();
    const QByteArray before = TempTree::read(tree.at("dst/Big.zip"));
    ASSERT_FALSE(before.isEmpty());
    for (int i = 0; i < 4; ++i)
        writeBytes(QFile::encodeName(tree.at("src/big" + QString::number(i) + ".bin")),
                   QByteArray(8 << 20, char('a' + i)));
    int pumps = 0;
    port.onPump = [&] {
        if (++pumps == 3) {
            state.flags.AbortRequested = true;
            zip.SetCancelRequested(true);
        }
    };
    queue("Big", tree.at("dst"));
    run();
    port.onPump = nullptr;
    EXPECT_EQ(before, TempTree::read(tree.at("dst/Big.zip")));
    const QStringList rest =
        QDir(tree.at("dst")).entryList(QDir::Files | QDir::Hidden | QDir::System);
    EXPECT_EQ(QStringList{"Big.zip"}, rest);
    EXPECT_FALSE(state.flags.Busy);
}

TEST_F(ZipModeTest, TooLittleRoomDoesNotHoldAZipBack) {
    state.settings.CheckPrior = true;
    queue("Room", tree.at("dst"));
    // The destination "has" no room: the message comes, the zip is still made.
    struct NoRoom : platform::PosixFileIo {
        int freeSpace(const QByteArray&, int64_t& bytes) override {
            bytes = 0;
            return 0;
        }
    } io;
    RunQueue(state, port, io, &zip);
    EXPECT_TRUE(port.boxes().join("\n").contains("Copy Aborted (Not Enough Room)"));
    EXPECT_TRUE(TempTree::exists(tree.at("dst/Room.zip")));
}
