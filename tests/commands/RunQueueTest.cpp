#include "commands/RunQueue.h"
#include "EngineFixture.h"
#include "ScratchMount.h"
#include "app/RunStatistics.h"
#include "app/SettingsLoader.h"
#include "commands/FolderChecks.h"
#include "commands/SchemeCommands.h"
#include "engine/PathChecks.h"
#include "platform/Volumes.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <memory>
#include <unistd.h>
#include <utility>

namespace quorvia::test {
namespace {

struct RunQueueTest : EngineFixture {
    QStringList schemeLines(const QString& file) {
        return DecodeSchemeLines(TempTree::read(file), 9);
    }
    QString stored(const QString& name) { return ReadSetting(kQuorviaKey, name, "<none>"); }
    void expectIdle() {
        EXPECT_FALSE(state.flags.Busy);
        EXPECT_EQ(port.text(Field::Title), "Quorvia");
        EXPECT_FALSE(port.switches.value(Field::AbortButton));
        EXPECT_TRUE(state.queue.empty());
    }
};

TEST_F(RunQueueTest, OneSchemeRunsAndLeavesItsRecords) {
    tree.write("a/one.txt", "12345");
    tree.write("a/sub/two.txt", "678");
    const QString file = queue("Daily", tree.at("a"), tree.at("b"));
    state.settings.ShowWork = true;
    WriteSetting(kQuorviaKey, "TotalDirCount", "not a number");
    WriteSetting(kQuorviaKey, "TotalTransferred", "5000000000");
    state.run.BytesNeeded = 1; // an old scan's size, not this scheme's
    RunQueue(state, port, io);

    EXPECT_EQ(TempTree::read(tree.at("b/sub/two.txt")), "678");
    QStringList lines = schemeLines(file);
    ASSERT_EQ(lines.size(), 9);
    const QRegularExpression elapsed("^\\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(elapsed.match(lines[5]).hasMatch()) << lines[5].toStdString();
    lines.removeAt(5);
    EXPECT_EQ(lines.mid(3), (QStringList{"0", "1", "(8.00 Bytes)", "0", "2"}));
    EXPECT_EQ(port.workListShows, 1);
    EXPECT_EQ(port.shownWorkList.size(), 4);
    EXPECT_EQ(stored("TimesRun"), "1");
    EXPECT_EQ(stored("FileCopied"), "2");
    EXPECT_EQ(stored("FileCount"), "2");
    EXPECT_EQ(stored("DirCount"), "1");
    EXPECT_EQ(stored("ErrorCount"), "0");
    EXPECT_EQ(stored("LastRunSize"), "8");
    EXPECT_TRUE(elapsed.match(stored("LastRunTime")).hasMatch());
    EXPECT_EQ(stored("LastSchemeName"), "Daily");
    EXPECT_EQ(state.settings.LastSchemeName, "Daily");
    EXPECT_NE(stored("LastRunOn"), "<none>");
    EXPECT_EQ(stored("TotalDirCount"), "1");
    EXPECT_EQ(stored("TotalTransferred"), "5000000008");
    EXPECT_EQ(stored("TotalFileCount"), "2");
    EXPECT_EQ(stored("TotalErrorCount"), "0");
    EXPECT_EQ(port.text(Field::SchemeOrdinal), "0");
    EXPECT_EQ(port.text(Field::QueueLength), "0");
    EXPECT_EQ(port.text(Field::FilesCopiedCaption), "File(s) Copied:");
    EXPECT_TRUE(port.switches.value(Field::ShowWorkButton));
    for (const PortEvent& e : port.events)
        EXPECT_FALSE(e.field == Field::Title && e.text.contains('%')) << e.text.toStdString();
    expectIdle();
}

TEST_F(RunQueueTest, AbortStopsTheFirstSchemeAndTheSecondRunsInFull) {
    for (int i = 0; i < 5; ++i) {
        tree.write(QString("a/%1.txt").arg(i), "a");
        tree.write(QString("c/%1.txt").arg(i), "c");
    }
    const QString first = queue("First", tree.at("a"), tree.at("b"));
    const QString second = queue("Second", tree.at("c"), tree.at("d"));
    port.onPump = [&] {
        if (port.text(Field::SchemeOrdinal) == "1" && state.run.FilesCopied == 1)
            state.flags.AbortRequested = true;
    };
    RunQueue(state, port, io);

    EXPECT_TRUE(schemeLines(first).value(5).endsWith(" (Aborted)"));
    EXPECT_EQ(schemeLines(first).value(8), "1");
    EXPECT_FALSE(schemeLines(second).value(5).contains("Aborted"));
    EXPECT_EQ(QDir(tree.at("d")).entryList(QDir::Files).size(), 5);
    EXPECT_EQ(port.boxes().count("Quorvia Was Aborted During Synch Process, All Files Might Not "
                                 "Be On Destination"),
              1);
    EXPECT_EQ(stored("TimesRun"), "2");
    EXPECT_EQ(stored("TotalFileCount"), "6");
    expectIdle();
}

TEST_F(RunQueueTest, GateRefusesACopyWhenFreeSpaceOnlyEqualsTheNeed) {
    tree.write("a/f.bin", QByteArray(400, 'f'));
    tree.write("c/g.bin", QByteArray(400, 'g'));
    const QString refused = queue("Refused", tree.at("a"), tree.at("b"));
    const QByteArray before = TempTree::read(refused);
    queue("Runs", tree.at("c"), tree.at("d"));
    state.settings.CheckPrior = true;
    io.free = [&](const QByteArray& path) -> std::optional<int64_t> {
        return path.endsWith("/b") ? 400 : 401;
    };
    RunQueue(state, port, io);

    EXPECT_EQ(port.boxes().value(0),
              "Copy Aborted (Not Enough Room)\n\nNeeded: 400.00 Bytes  Found: 400.00 Bytes");
    EXPECT_EQ(TempTree::read(refused), before);
    EXPECT_FALSE(TempTree::exists(tree.at("b/f.bin")));
    EXPECT_EQ(TempTree::read(tree.at("d/g.bin")), QByteArray(400, 'g'));
    EXPECT_EQ(stored("TimesRun"), "1");
    EXPECT_EQ(port.checkingWindowShows, 2);
    expectIdle();
}

TEST_F(RunQueueTest, TheCopyTakesWhatItsSpaceCheckFoundUpToDate) {
    const QString kept = tree.write("a/kept.txt", "v1");
    TempTree::setMtime(kept, 1600000000);
    state.settings.CheckPrior = true;
    queue("Twice", tree.at("a"), tree.at("b"));
    RunQueue(state, port, io);
    ASSERT_EQ(TempTree::read(tree.at("b/kept.txt")), "v1");

    // Between the scan and the copy one file changes and one comes.
    bool changed = false;
    io.free = [&](const QByteArray&) -> std::optional<int64_t> {
        if (!std::exchange(changed, true)) {
            tree.write("a/kept.txt", "v2");
            TempTree::setMtime(kept, 1600000010);
            tree.write("a/added.txt", "new");
        }
        return int64_t(1) << 30;
    };
    queue("Twice", tree.at("a"), tree.at("b"));
    RunQueue(state, port, io);
    EXPECT_EQ(TempTree::read(tree.at("b/added.txt")), "new");
    // Found up to date just before: as a change after the run, the next run takes it.
    EXPECT_EQ(TempTree::read(tree.at("b/kept.txt")), "v1");
    queue("Twice", tree.at("a"), tree.at("b"));
    RunQueue(state, port, io);
    EXPECT_EQ(TempTree::read(tree.at("b/kept.txt")), "v2");
    EXPECT_TRUE(port.boxes().isEmpty()) << port.boxes().join('|').toStdString();
}

TEST_F(RunQueueTest, AHeadWithoutBothFoldersIsDroppedAndLaterEntriesRun) {
    tree.write("c/g.txt", "g");
    const QString blank = queue("Blank", tree.at("a"), "  ");
    queue("Runs", tree.at("c"), tree.at("d"));
    port.onPump = [&] { // a scheme queued during the batch runs in it
        if (state.queue.QueueLast == 0 && port.text(Field::SchemeOrdinal) == "1")
            queue("Late", tree.at("c"), tree.at("e"));
    };
    RunQueue(state, port, io);
    EXPECT_EQ(TempTree::read(tree.at("e/g.txt")), "g");
    EXPECT_EQ(port.boxes(),
              QStringList{"Scheme " + blank +
                          " Has No Entry For Both Folders\nScheme Removed From Queue"});
    EXPECT_EQ(TempTree::read(tree.at("d/g.txt")), "g");
    EXPECT_EQ(stored("TimesRun"), "2");
    expectIdle();
}

TEST_F(RunQueueTest, AnExceptionLeavesNeitherBusyNorTheBusyCaption) {
    tree.write("a/f.txt", "f");
    queue("Throws", tree.at("a"), tree.at("b"));
    io.throwOnRead = true;
    EXPECT_THROW(RunQueue(state, port, io), std::runtime_error);
    EXPECT_FALSE(state.flags.Busy);
    EXPECT_EQ(port.text(Field::Title), "Quorvia");
    EXPECT_TRUE(leftovers(tree.at("b")).isEmpty());

    // Busy on entry: nothing happens.
    state.flags.Busy = true;
    io.throwOnRead = false;
    RunQueue(state, port, io);
    EXPECT_FALSE(TempTree::exists(tree.at("b/f.txt")));
}

TEST_F(RunQueueTest, ASourceInsideItsDestinationOrTheSameFolderIsRefusedBeforeAnyWrite) {
    // Folder 1 outer/Photos, Folder 2 outer: Photos/Photos/pic.jpg would land
    // on Photos/pic.jpg, the source's only copy.
    const QString only = tree.write("outer/Photos/pic.jpg", "the only copy");
    tree.write("outer/Photos/Photos/pic.jpg", "another picture");
    const QString inside = queue("Inside", tree.at("outer/Photos"), tree.at("outer") + "/");
    ASSERT_EQ(0, symlink("outer/Photos", QFile::encodeName(tree.at("alias")).constData()));
    const QString same = queue("Same", tree.at("outer/Photos/Photos/.."), tree.at("alias"));
    tree.write("c/g.txt", "g");
    queue("Runs", tree.at("c"), tree.at("d"));
    const QByteArray before = TempTree::read(inside);
    RunQueue(state, port, io);

    EXPECT_EQ(port.boxes(),
              (QStringList{"Folder 1 (" + tree.at("outer/Photos") + ") Lies Inside Folder 2 (" +
                               tree.at("outer") + "/)\nA Backup Would Write Over Its Own Source",
                           "Folder 1 (" + tree.at("outer/Photos/Photos/..") + ") And Folder 2 (" +
                               tree.at("alias") + ") Are The Same Folder"}));
    EXPECT_EQ(TempTree::read(only), "the only copy");
    EXPECT_EQ(TempTree::read(inside), before);
    EXPECT_EQ(TempTree::read(tree.at("d/g.txt")), "g");
    EXPECT_EQ(stored("TimesRun"), "1");
    expectIdle();
}

TEST_F(RunQueueTest, AnUnpluggedDriveIsRefusedBeforeAnythingIsMade) {
    // The stick's empty mount folder is there, nothing is mounted on it.
    const QByteArray stick = "/media/quorvia-test-user/STICK";
    io.fakeFolders = {stick};
    io.mounted = [&](const QByteArray& folder) { return folder != stick; };
    tree.write("a/f.txt", "f");
    const QString unplugged = queue("Stick", tree.at("a"), QString(stick) + "/Backup");
    const QByteArray before = TempTree::read(unplugged);
    tree.write("c/g.txt", "g");
    queue("Runs", tree.at("c"), tree.at("d"));
    state.settings.CheckPrior = true; // refused before the space check too
    RunQueue(state, port, io);

    EXPECT_EQ(port.boxes().value(0), "Drive (" + QString(stick) +
                                         " ) Does Not Exist\nIf This Drive Is Removable, Make "
                                         "Sure It Is Inserted");
    EXPECT_EQ(port.checkingWindowShows, 1) << "only the second scheme was measured";
    EXPECT_EQ(TempTree::read(unplugged), before);
    EXPECT_EQ(TempTree::read(tree.at("d/g.txt")), "g");
    EXPECT_EQ(io.foldersMade, 1) << "d only";
    EXPECT_EQ(stored("TimesRun"), "1");

    // Plugged in again: the same check lets it pass.
    io.mounted = nullptr;
    EXPECT_FALSE(DrivePresent(state.settings, port, QString(stick) + "/Backup", io));
    io.mounted = [](const QByteArray&) { return true; };
    EXPECT_TRUE(DrivePresent(state.settings, port, QString(stick) + "/Backup", io));
    expectIdle();
}

TEST_F(RunQueueTest, AShareOrStickThatWentIsRefusedUntilTheSchemeIsSavedAgain) {
    // Outside /mnt and /media, where the drive check cannot tell an empty folder.
    const QString nas = tree.at("home/anna/nas");
    auto mount = std::make_unique<ScratchMount>(ScratchMount::Tmpfs, nas);
    if (!mount->mounted())
        mount = std::make_unique<ScratchMount>(ScratchMount::FatStick, nas);
    if (!mount->mounted())
        GTEST_SKIP() << mount->whyNot().toStdString();
    tree.write("a/one.txt", "1");
    const QString to = nas + "/backup";
    const QString file = queue("Nas", tree.at("a"), to);
    RunQueue(state, port, io);
    ASSERT_EQ(TempTree::read(to + "/one.txt"), "1");
    const QByteArray record = TempTree::read(file);

    mount->unmount(); // the connection dropped: an empty folder is left
    auto again = [&] {
        state.queue.slots[++state.queue.QueueLast] = SchemeRecord{file, tree.at("a"), to};
        RunQueue(state, port, io);
    };
    again();
    EXPECT_EQ(port.boxes().last(),
              "Drive (" + nas + " ) Does Not Exist\nIf This Drive Is Removable, Make Sure It Is " +
                  "Inserted\n\nFolder 2 (" + to + ") Now Lies On " + platform::mountFolderOf(to) +
                  ", Not On " + nas + " As At Its Last Run\nTo Back Up There All The Same, " +
                  "Save The Scheme Again");
    EXPECT_FALSE(TempTree::exists(to));
    EXPECT_EQ(TempTree::read(file), record);
    EXPECT_EQ(stored("TimesRun"), "1");

    // Saved again, the scheme takes its Folder 2 where it now lies.
    port.setText(Field::Folder1, tree.at("a"));
    port.setText(Field::Folder2, to);
    port.script({Answer::typed("Nas"), Answer::yes()});
    ASSERT_TRUE(SaveNewScheme(state, port));
    again();
    EXPECT_EQ(TempTree::read(to + "/one.txt"), "1");
    EXPECT_EQ(stored("TimesRun"), "2");
    expectIdle();
}

TEST_F(RunQueueTest, TwoRunsOfOneDestinationNeverMeetInIt) {
    for (int i = 0; i < 300; ++i)
        tree.write(QString("a/d%1/f%2.txt").arg(i % 10).arg(i),
                   QByteArray(i * 37, char('a' + i % 26)));
    const QString file = queue("Twice", tree.at("a"), tree.at("b"));
    // Each pump of a run in its own process waits a little: the two meet.
    auto start = [&](QProcess& run, const QString& delayMs) {
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QUORVIA_RUN_ONCE, {file, tree.at("a"), tree.at("b"), delayMs});
        return run.waitForStarted();
    };
    QProcess first, second;
    ASSERT_TRUE(start(first, "3") && start(second, "3"));
    ASSERT_TRUE(first.waitForFinished(60000) && second.waitForFinished(60000));
    const QString said = first.readAll() + "|" + second.readAll();
    EXPECT_EQ(said.count("Is Being Written By Another Quorvia Run"), 1) << said.toStdString();
    EXPECT_FALSE(said.contains("Name Clashes")) << said.toStdString();

    // One killed in the middle leaves its lock behind; the next run takes it over.
    QProcess killed;
    ASSERT_TRUE(start(killed, "50"));
    QThread::msleep(500);
    killed.kill();
    killed.waitForFinished();
    RunQueue(state, port, io);
    EXPECT_TRUE(port.boxes().isEmpty()) << port.boxes().join('|').toStdString();
    for (int i = 0; i < 300; ++i) {
        const QString name = QString("/d%1/f%2.txt").arg(i % 10).arg(i);
        ASSERT_EQ(TempTree::read(tree.at("b") + name), TempTree::read(tree.at("a") + name));
    }
    EXPECT_TRUE(leftovers(tree.at("b/d0")).isEmpty());
}

TEST_F(RunQueueTest, ProgressCaptionShowsQueueAndCappedPercentage) {
    port.setText(Field::Title, "Quorvia (A)");
    state.queue.QueueLast = 1;
    state.run.BytesNeeded = 1000;
    state.run.ByteTotal = 450;
    UpdateProgressCaption(state, port);
    EXPECT_EQ(port.text(Field::Caption), "Quorvia (A) - 2 - 45%");
    state.run.ByteTotal = 1500;
    UpdateProgressCaption(state, port);
    EXPECT_EQ(port.text(Field::Title), "Quorvia (A) - 2 - 100%");
    state.flags.AbortRequested = true;
    UpdateProgressCaption(state, port);
    EXPECT_EQ(port.text(Field::Title), "Quorvia (A) - 2");
}

} // namespace
} // namespace quorvia::test
