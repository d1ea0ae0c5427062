// The real libzipdll.so driven through TZipMaster; every archive is read back
// by Python's zipfile and 7-Zip.
#include "ZipFixture.h"

#include <QRandomGenerator>
#include <ctime>
#include <sys/sysmacros.h>

namespace quorvia::test {
namespace {

const AddOpts kTree{AddRecurseDirs, AddDirNames};

QByteArray noise(int size, quint32 seed) {
    QByteArray data(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

QJsonArray dosTime(time_t t) {
    tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec / 2 * 2};
}

using ZipLibraryTest = ZipFixture;

TEST_F(ZipLibraryTest, TreeReadBackWithNamesSizesCrcsMethodsAndTimes) {
    const QByteArray text = QByteArray("line of text\n").repeated(4000);
    write("src/a.txt", text);
    write("src/empty.txt", {});
    write("src/sub/deeper/noise.bin", noise(100000, 1));
    const time_t when = 1500000001; // odd: the DOS time drops a second, the UT field keeps it
    setMtime(at("src/a.txt"), when);
    const QString archive = at("out.zip");

    EXPECT_EQ(add(archive, {at("src/*.*")}, kTree, 6), 3);
    const QJsonArray entries = pythonList(archive);
    EXPECT_EQ(namesOf(entries),
              QStringList({"a.txt", "empty.txt", "sub/", "sub/deeper/", "sub/deeper/noise.bin"}));
    const QJsonObject a = entryNamed(entries, "a.txt");
    EXPECT_EQ(a["size"].toInt(), text.size());
    EXPECT_EQ(a["method"].toInt(), 8);
    EXPECT_LT(a["csize"].toInt(), text.size() / 20);
    EXPECT_TRUE(a["crc_ok"].toBool());
    EXPECT_EQ(a["date_time"].toArray(), dosTime(when));
    EXPECT_EQ(a["mtime"].toInt(), when);
    EXPECT_EQ(a["mode"].toInt(), 0100644);
    EXPECT_EQ(entryNamed(entries, "empty.txt")["method"].toInt(), 0);
    EXPECT_EQ(entryNamed(entries, "sub/deeper/noise.bin")["size"].toInt(), 100000);
    EXPECT_TRUE(entryNamed(entries, "sub/deeper/noise.bin")["crc_ok"].toBool());
    EXPECT_EQ(entryNamed(entries, "sub/")["mode"].toInt() & S_IFMT, S_IFDIR);
    EXPECT_TRUE(sevenZipTests(archive));
    EXPECT_TRUE(failures().empty());

    // Each file announced once with its size, then the end of the batch.
    QStringList announced;
    for (const ProgressCall& c : progress)
        if (c.type == NewFile)
            announced << QFileInfo(c.name).fileName() + "=" + QString::number(c.size);
    EXPECT_EQ(announced, QStringList({"a.txt=52000", "empty.txt=0", "noise.bin=100000"}));
    EXPECT_EQ(progress.back().type, EndOfBatch);
    // The entry list is read back after the add.
    ASSERT_EQ(zm.EntryList().size(), 5);
    EXPECT_EQ(zm.EntryList()[0].fileName, "a.txt");
}

TEST_F(ZipLibraryTest, LevelZeroStoresAndLevelNineDeflates) {
    write("src/a.txt", QByteArray("compressible ").repeated(1000));
    EXPECT_EQ(add(at("0.zip"), {at("src")}, {}, 0), 1);
    EXPECT_EQ(pythonList(at("0.zip"))[0].toObject()["method"].toInt(), 0);
    EXPECT_EQ(add(at("9.zip"), {at("src")}, {}, 9), 1);
    EXPECT_EQ(pythonList(at("9.zip"))[0].toObject()["method"].toInt(), 8);
    EXPECT_LT(QFileInfo(at("9.zip")).size(), QFileInfo(at("0.zip")).size() / 10);
}

TEST_F(ZipLibraryTest, ManyFilesAndOnesLargerThanMemoryKeepsReadBackWhole) {
    // Deflated on every core, the largest partly by way of a file: every entry whole.
    for (int i = 0; i < 200; ++i)
        write(QString("src/f%1.txt").arg(i), QByteArray("text ").repeated(i * 40));
    write("src/large1.bin", noise(6 << 20, 2));
    write("src/large2.bin", noise(5 << 20, 3));
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}, 3), 202);
    const QJsonArray entries = pythonList(at("out.zip"));
    ASSERT_EQ(entries.size(), 202);
    for (const QJsonValue& entry : entries)
        EXPECT_TRUE(entry.toObject()["crc_ok"].toBool())
            << entry.toObject()["name"].toString().toStdString();
    EXPECT_EQ(entryNamed(entries, "large1.bin")["size"].toInt(), 6 << 20);
    EXPECT_TRUE(sevenZipTests(at("out.zip")));
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(folderListing(), QStringList({"out.zip", "src"}));
}

TEST_F(ZipLibraryTest, FolderNamesStrippedAndClashingNamesReported) {
    write("src/one/same.txt", "first");
    write("src/two/same.txt", "second");
    write("src/two/other.txt", "other");
    EXPECT_EQ(add(at("out.zip"), {at("src/*.*")}, {AddRecurseDirs}), 2);
    const QJsonArray entries = pythonList(at("out.zip"));
    EXPECT_EQ(namesOf(entries), QStringList({"same.txt", "other.txt"}));
    EXPECT_EQ(QByteArray::fromHex(entryNamed(entries, "same.txt")["data"].toString().toLatin1()),
              "first");
    const auto failed = failures();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].code, ZIPDLL_ERR_DUPLICATE);
    EXPECT_TRUE(failed[0].text.contains("two/same.txt")) << failed[0].text.toStdString();
}

TEST_F(ZipLibraryTest, HiddenFilesAndFoldersInOrOut) {
    write("src/shown.txt", "a");
    write("src/.hidden.txt", "b");
    write("src/.cache/inside.txt", "c");
    EXPECT_EQ(add(at("out.zip"), {at("src/*.*")}, kTree), 1);
    EXPECT_EQ(namesOf(pythonList(at("out.zip"))), QStringList({"shown.txt"}));
    EXPECT_EQ(
        add(at("all.zip"), {at("src/*.*")}, AddOpts{AddRecurseDirs, AddDirNames, AddHiddenFiles}),
        3);
    EXPECT_EQ(namesOf(pythonList(at("all.zip"))),
              QStringList({".hidden.txt", "shown.txt", ".cache/", ".cache/inside.txt"}));
}

TEST_F(ZipLibraryTest, WildcardsRecursionSingleFilesAndMissingFolders) {
    write("src/a.txt", "a");
    write("src/b.log", "b");
    write("src/sub/c.txt", "c");
    EXPECT_EQ(add(at("flat.zip"), {at("src/*.txt")}, {AddDirNames}), 1);
    EXPECT_EQ(namesOf(pythonList(at("flat.zip"))), QStringList({"a.txt"}));
    EXPECT_EQ(add(at("deep.zip"), {at("src/*.txt")}, kTree), 2);
    EXPECT_EQ(namesOf(pythonList(at("deep.zip"))), QStringList({"a.txt", "sub/c.txt"}));
    EXPECT_EQ(add(at("one.zip"), {at("src/b.log"), at("missing/*.*")}, kTree), 1);
    EXPECT_EQ(namesOf(pythonList(at("one.zip"))), QStringList({"b.log"}));
    const auto failed = failures();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].code, ENOENT);
}

TEST_F(ZipLibraryTest, EncryptedWithAes256OnlyTheRightPasswordOpens) {
    write("src/secret.txt", QByteArray("the plans\n").repeated(50));
    zm.SetPassword("correct horse");
    EXPECT_EQ(add(at("enc.zip"), {at("src")}, {AddEncrypt}, 0), 1); // stored: plain text would show
    const QJsonObject entry = pythonList(at("enc.zip"))[0].toObject();
    EXPECT_EQ(entry["method"].toInt(), 99); // AES
    EXPECT_EQ(entry["flags"].toInt() & 1, 1);
    EXPECT_FALSE(readAll(at("enc.zip")).contains("the plans"));
    EXPECT_TRUE(sevenZipTests(at("enc.zip"), "correct horse"));
    EXPECT_FALSE(sevenZipTests(at("enc.zip"), "wrong horse"));

    // Added to again under another password, or none: refused before writing,
    // so the archive never holds entries under two passwords.
    const QByteArray before = readAll(at("enc.zip"));
    write("src/more.txt", "more");
    for (const QString& password : {QString("wrong horse"), QString()}) {
        messages.clear();
        zm.SetPassword(password);
        EXPECT_EQ(
            add(at("enc.zip"), {at("src")}, password.isEmpty() ? AddOpts{} : AddOpts{AddEncrypt}),
            0);
        ASSERT_EQ(failures().size(), 1u);
        EXPECT_EQ(failures()[0].code, ZIPDLL_ERR_PASSWORD);
        EXPECT_EQ(readAll(at("enc.zip")), before);
    }
    zm.SetPassword("correct horse");
    EXPECT_EQ(add(at("enc.zip"), {at("src")}, {AddEncrypt}), 2);
    EXPECT_TRUE(sevenZipTests(at("enc.zip"), "correct horse"));

    // Encryption without a password writes nothing rather than plain text.
    messages.clear();
    zm.SetPassword("");
    EXPECT_EQ(add(at("none.zip"), {at("src")}, {AddEncrypt}), 0);
    EXPECT_FALSE(QFile::exists(at("none.zip")));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ZIPDLL_ERR_NO_PASSWORD);
}

TEST_F(ZipLibraryTest, AddingToAnArchiveReplacesSameNamesAndKeepsOthers) {
    write("src/a.txt", "version one");
    write("src/b.txt", "kept");
    ASSERT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    write("src/a.txt", "version two, longer");
    write("src/c.txt", "new");
    QFile::remove(at("src/b.txt"));
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    const QJsonArray entries = pythonList(at("out.zip"));
    EXPECT_EQ(namesOf(entries), QStringList({"a.txt", "b.txt", "c.txt"}));
    auto data = [&](const char* name) {
        return QByteArray::fromHex(entryNamed(entries, name)["data"].toString().toLatin1());
    };
    EXPECT_EQ(data("a.txt"), "version two, longer");
    EXPECT_EQ(data("b.txt"), "kept");
    EXPECT_TRUE(sevenZipTests(at("out.zip")));
    EXPECT_EQ(zm.EntryList().size(), 3);
}

TEST_F(ZipLibraryTest, CancelLeavesThePreviousArchiveByteForByte) {
    for (int i = 0; i < 5; ++i)
        write(QString("src/f%1.bin").arg(i), noise(300000, quint32(i)));
    ASSERT_EQ(add(at("out.zip"), {at("src")}, {}), 5);
    const QByteArray before = readAll(at("out.zip"));
    const QStringList listing = folderListing();
    write("src/f5.bin", noise(300000, 9));
    int announced = 0;
    onProgress = [&](ProgressType type, const QString&) {
        if (type == NewFile && ++announced == 3)
            zm.SetCancelRequested(true);
    };
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 0);
    EXPECT_EQ(announced, 3);
    EXPECT_EQ(readAll(at("out.zip")), before);
    EXPECT_EQ(folderListing(), listing); // no temporary file left
    EXPECT_FALSE(zm.CancelRequested());
    EXPECT_TRUE(failures().empty());

    // A cancelled first add leaves no archive at all.
    announced = 0;
    EXPECT_EQ(add(at("new.zip"), {at("src")}, {}), 0);
    EXPECT_FALSE(QFile::exists(at("new.zip")));
    EXPECT_EQ(folderListing(), listing);
}

TEST_F(ZipLibraryTest, UnreadableFileReportedWithItsCodeAndTheAddGoesOn) {
    write("src/a.txt", "a");
    const QString locked = write("src/locked.txt", "secret");
    write("src/z.txt", "z");
    QFile::setPermissions(locked, {});
    {
        WithoutReadOverride asUser;
        EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    }
    EXPECT_EQ(namesOf(pythonList(at("out.zip"))), QStringList({"a.txt", "z.txt"}));
    const auto failed = failures();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].code, EACCES);
    EXPECT_TRUE(failed[0].text.contains("locked.txt"));
}

TEST_F(ZipLibraryTest, FileVanishingDuringTheAddIsLeftOutAndTheRestWritten) {
    write("src/a.txt", "a");
    write("src/b.txt", "b");
    write("src/c.txt", "c");
    onProgress = [&](ProgressType type, const QString& name) {
        if (type == NewFile && name.endsWith("a.txt"))
            QFile::remove(at("src/b.txt"));
    };
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    const QJsonArray entries = pythonList(at("out.zip"));
    EXPECT_EQ(namesOf(entries), QStringList({"a.txt", "c.txt"}));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ENOENT);
    EXPECT_TRUE(sevenZipTests(at("out.zip")));
    EXPECT_EQ(folderListing(), QStringList({"out.zip", "src"}));
}

TEST_F(ZipLibraryTest, FileGrowingWhileReadIsReportedAndStoredConsistently) {
    write("src/log.txt", QByteArray("start\n").repeated(100));
    onProgress = [&](ProgressType type, const QString&) {
        if (type == NewFile) {
            QFile f(at("src/log.txt"));
            f.open(QIODevice::Append);
            f.write("appended meanwhile\n");
        }
    };
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 1);
    const QJsonObject entry = pythonList(at("out.zip"))[0].toObject();
    EXPECT_EQ(entry["size"].toInt(), 619);
    EXPECT_TRUE(entry["crc_ok"].toBool());
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ZIPDLL_ERR_CHANGED);
}

TEST_F(ZipLibraryTest, LinksStoredAsLinksSpecialFilesPassedOver) {
    write("src/target.txt", "target");
    write("src/folder/inner.txt", "inner");
    ASSERT_EQ(symlink("target.txt", QFile::encodeName(at("src/file-link")).constData()), 0);
    ASSERT_EQ(symlink("folder", QFile::encodeName(at("src/folder-link")).constData()), 0);
    ASSERT_EQ(symlink("/nowhere", QFile::encodeName(at("src/dangling")).constData()), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(at("src/pipe")).constData(), 0644), 0);
    EXPECT_EQ(add(at("out.zip"), {at("src/*.*")}, kTree), 5);
    const QJsonArray entries = pythonList(at("out.zip"));
    EXPECT_EQ(namesOf(entries), QStringList({"dangling", "file-link", "folder-link", "target.txt",
                                             "folder/", "folder/inner.txt"}));
    for (const char* link : {"dangling", "file-link", "folder-link"})
        EXPECT_EQ(entryNamed(entries, link)["mode"].toInt() & S_IFMT, S_IFLNK) << link;
    EXPECT_EQ(QByteArray::fromHex(entryNamed(entries, "folder-link")["data"].toString().toLatin1()),
              "folder");
    EXPECT_TRUE(sevenZipTests(at("out.zip")));
    EXPECT_TRUE(failures().empty());
}

TEST_F(ZipLibraryTest, NamesThatAreNotUtf8StayBytesWithoutTheUtf8Flag) {
    const QByteArray folder = QFile::encodeName(at("src/"));
    writeBytes(folder + "caf\xe9.txt", "latin-1 name");
    writeBytes(folder + "caf\xc3\xa9.txt", "utf-8 name");
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2); // both replaced, neither doubled
    EXPECT_TRUE(failures().empty());
    const QJsonArray entries = pythonList(at("out.zip"));
    ASSERT_EQ(entries.size(), 2);
    QMap<QByteArray, int> flagsByName;
    for (const auto& e : entries)
        flagsByName[QByteArray::fromHex(e.toObject()["raw"].toString().toLatin1())] =
            e.toObject()["flags"].toInt();
    ASSERT_TRUE(flagsByName.contains("caf\xe9.txt"));
    EXPECT_EQ(flagsByName["caf\xe9.txt"] & 0x800, 0);
    EXPECT_EQ(flagsByName["caf\xc3\xa9.txt"] & 0x800, 0x800);
    EXPECT_TRUE(sevenZipTests(at("out.zip")));
    unlink((folder + "caf\xe9.txt").constData()); // QDir cannot name it to remove it
}

TEST_F(ZipLibraryTest, ArchiveInsideTheTreeAndDamagedArchivesAreLeftAlone) {
    write("src/a.txt", "a");
    ASSERT_EQ(add(at("src/self.zip"), {at("src")}, {}), 1);
    write("src/b.txt", "b");
    EXPECT_EQ(add(at("src/self.zip"), {at("src")}, {}), 2); // a.txt again, and b.txt
    EXPECT_EQ(namesOf(pythonList(at("src/self.zip"))), QStringList({"a.txt", "b.txt"}));

    const QByteArray garbage = noise(5000, 3);
    write("notzip.zip", garbage);
    messages.clear();
    EXPECT_EQ(add(at("notzip.zip"), {at("src/a.txt")}, {}), 0);
    EXPECT_EQ(readAll(at("notzip.zip")), garbage);
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ZIPDLL_ERR_ARCHIVE);
}

TEST_F(ZipLibraryTest, UpdateFreshenMoveZipTimeAndDosOptions) {
    write("src/old.txt", "old");
    write("src/new.txt", "new");
    setMtime(at("src/old.txt"), 1400000000);
    setMtime(at("src/new.txt"), 1400000000);
    ASSERT_EQ(add(at("out.zip"), {at("src/old.txt")}, {}), 1);

    // Freshen replaces only entries older than their file and adds nothing.
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {AddFreshen}), 0);
    setMtime(at("src/old.txt"), 1400000100);
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {AddFreshen}), 1);
    EXPECT_EQ(namesOf(pythonList(at("out.zip"))), QStringList({"old.txt"}));
    // Update adds new files and newer ones.
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {AddUpdate}), 1);
    EXPECT_EQ(namesOf(pythonList(at("out.zip"))), QStringList({"old.txt", "new.txt"}));

    // Zip time: the archive takes its newest entry's time. Move: the files go.
    write("move/m.txt", "m");
    setMtime(at("move/m.txt"), 1300000000);
    EXPECT_EQ(add(at("moved.zip"), {at("move")}, AddOpts{AddMove, AddZipTime, AddForceDOS}), 1);
    EXPECT_FALSE(QFile::exists(at("move/m.txt")));
    EXPECT_EQ(QFileInfo(at("moved.zip")).lastModified().toSecsSinceEpoch(), 1300000000);
    const QJsonObject moved = pythonList(at("moved.zip"))[0].toObject();
    EXPECT_EQ(moved["system"].toInt(), 0); // DOS
    EXPECT_EQ(moved["attr"].toInt(), 0x20);
}

// Sizes past 4 GiB reach the events whole. Cancelled at the announcement,
// so nothing of the sparse file is read.
TEST_F(ZipLibraryTest, SizeOver4GiBIsAnnouncedWhole) {
    const QString big = write("src/big.bin", "head");
    const qint64 size = (qint64(5) << 30) + 7;
    ASSERT_EQ(truncate(QFile::encodeName(big).constData(), size), 0);
    onProgress = [&](ProgressType type, const QString&) {
        if (type == NewFile)
            zm.SetCancelRequested(true);
    };
    EXPECT_EQ(add(at("big.zip"), {at("src")}, {}, 1), 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress[0].size, size);
    EXPECT_EQ(folderListing(), QStringList({"src"}));
}

// 4 GiB and a little more of a sparse file, compressed for real: ZIP64 sizes
// read back by Python and by the component's own entry reader. About 30 s, so
// run on demand: zip_tests --gtest_also_run_disabled_tests --gtest_filter='*4GiB*'
TEST_F(ZipLibraryTest, DISABLED_FileOver4GiBIsStoredWithZip64) {
    const QString big = write("src/big.bin", "head");
    const qint64 size = (qint64(1) << 32) + 4096;
    ASSERT_EQ(truncate(QFile::encodeName(big).constData(), size), 0);
    EXPECT_EQ(add(at("big.zip"), {at("src")}, {}, 1), 1);
    EXPECT_LT(QFileInfo(at("big.zip")).size(), 64 << 20);
    const ToolRun run = runTool(PYTHON3, {"-c",
                                          "import sys, zipfile\n"
                                          "i = zipfile.ZipFile(sys.argv[1]).infolist()[0]\n"
                                          "print(i.file_size, i.compress_size > 0)",
                                          at("big.zip")});
    EXPECT_EQ(run.output.trimmed(), QByteArray::number(size) + " True");
    ASSERT_EQ(zm.EntryList().size(), 1);
    EXPECT_EQ(zm.EntryList()[0].compressedSize(), 0xFFFFFFFFu);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.join("|").toStdString();
}

} // namespace
} // namespace quorvia::test
