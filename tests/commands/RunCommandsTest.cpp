#include "commands/RunCommands.h"

#include "ScriptedPort.h"
#include "TempTree.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QLocale>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::Answer;
using quorvia::test::ScriptedPort;
using quorvia::test::TempTree;

namespace {

class RunCommandsTest : public ::testing::Test {
protected:
    TempTree tree;
    AppState state;
    ScriptedPort port;
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        state.settings.SchemeDir = tree.mkdir("schemes") + "/";
        state.settings.CopyOnlyNewer = true;
        state.settings.CopyHidden = true;
        state.settings.CopySystem = true;
        state.settings.Caps = true;
        state.schemeList.setFolder(state.settings.SchemeDir);
        tree.mkdir("dst"); // a run creates one folder level, like the ADD checks would have
    }
    // A saved scheme copying src/<name> to dst/<name>, one file inside.
    void addScheme(const QString& name) {
        tree.write("src/" + name + "/file.txt", name.toUtf8());
        tree.write(
            "schemes/" + name + ".sch",
            EncodeSchemeFile(NewSchemeLines(tree.at("src/" + name), tree.at("dst/" + name))));
        state.schemeList.reread();
    }
    void select(const QString& name) {
        state.schemeList.selectByUser(state.schemeList.items().indexOf(name + ".sch"));
        LoadSchemeFile(state.settings, port, state.schemeList.selectedPath());
    }
};

} // namespace

TEST_F(RunCommandsTest, FiveAddsFillTheQueueAndASixthIsRefused) {
    addScheme("A");
    select("A");
    QStringList counts;
    for (int i = 0; i < 5; ++i) {
        QueueSelectedScheme(state, port);
        counts << port.text(Field::QueueLength);
    }
    EXPECT_EQ((QStringList{"1", "2", "3", "4", "5"}), counts);
    QueueSelectedScheme(state, port);
    EXPECT_EQ(QStringList{"information:Queue Is Full\nScheme Not Added To Queue List"},
              port.dialogue());
    EXPECT_EQ(4, state.queue.QueueLast);
    EXPECT_EQ(tree.at("src/A"), state.queue.slots[4].Folder1);
    EXPECT_TRUE(state.queue.slots[5].SchemeFile.isEmpty());
}

TEST_F(RunCommandsTest, TheRunCommandRunsTheSchemeAndEmptiesTheQueue) {
    addScheme("A");
    select("A");
    RunSelectedScheme(state, port);
    EXPECT_EQ("A", TempTree::read(tree.at("dst/A/file.txt")));
    EXPECT_EQ(-1, state.queue.QueueLast);
    EXPECT_FALSE(state.flags.Busy);
    EXPECT_EQ("0", port.text(Field::QueueLength));
    const QStringList lines = DecodeSchemeLines(TempTree::read(tree.at("schemes/A.sch")), 9);
    EXPECT_EQ("1", lines.value(8)) << "the run was recorded in the scheme file";
}

TEST_F(RunCommandsTest, AnAddDuringABatchRunsInTheSameBatch) {
    addScheme("A");
    addScheme("B");
    select("A");
    bool added = false;
    port.onPump = [&] {
        if (added)
            return;
        added = true;
        select("B");
        RunSelectedScheme(state, port); // only appends: a batch is running
        EXPECT_EQ("2", port.text(Field::QueueLength));
        EXPECT_EQ(1, port.progressRaises);
    };
    RunSelectedScheme(state, port);
    EXPECT_TRUE(added);
    EXPECT_EQ("A", TempTree::read(tree.at("dst/A/file.txt")));
    EXPECT_EQ("B", TempTree::read(tree.at("dst/B/file.txt")));
    EXPECT_EQ(-1, state.queue.QueueLast);
    EXPECT_FALSE(state.flags.Busy);
}

TEST_F(RunCommandsTest, WithNoSchemeSelectedTheBoxesMustBeSavedFirst) {
    RunSelectedScheme(state, port);
    EXPECT_EQ(QStringList{"information:Scheme Must Have Entry For Both Folders"}, port.dialogue());

    ScriptedPort p;
    p.setText(Field::Folder1, tree.mkdir("typed"));
    p.script({Answer::no()});
    RunSelectedScheme(state, p);
    EXPECT_EQ((QStringList{"beep", "confirm:Must Save Scheme Before Running It\nSave Now"}),
              p.dialogue())
        << "the question beeps even with SoundOn off";
    EXPECT_EQ(-1, state.queue.QueueLast);

    ScriptedPort q;
    q.setText(Field::Folder1, tree.at("typed"));
    q.setText(Field::Folder2, tree.at("out"));
    q.script({Answer::yes(), Answer::cancel(), Answer::yes(), Answer::typed("typed run")});
    RunSelectedScheme(state, q);
    EXPECT_EQ(2, q.boxes().count("Must Save Scheme Before Running It\nSave Now"));
    EXPECT_TRUE(TempTree::exists(tree.at("schemes/Typed Run.sch")));
    EXPECT_TRUE(QDir(tree.at("out")).exists()) << "saved, queued and run";
    EXPECT_EQ(-1, state.queue.QueueLast);
}

TEST_F(RunCommandsTest, TimerStartsAWaitingQueueOnlyWhenIdle) {
    addScheme("A");
    select("A");
    state.flags.Busy = true; // a size scan holds the engine
    RunSelectedScheme(state, port);
    EXPECT_EQ(0, state.queue.QueueLast);
    Timer2Timer(state, port);
    EXPECT_EQ(0, state.queue.QueueLast) << "nothing starts while busy";
    EXPECT_EQ(0, port.progressHides);
    state.flags.Busy = false;
    Timer2Timer(state, port);
    EXPECT_EQ(1, port.progressHides);
    EXPECT_EQ(-1, state.queue.QueueLast);
    EXPECT_EQ("A", TempTree::read(tree.at("dst/A/file.txt")));
}

TEST_F(RunCommandsTest, SchemeInQueueComparesTrimmedPathsIgnoringCase) {
    addScheme("A");
    EXPECT_FALSE(SchemeInQueue(state)) << "nothing selected";
    select("A");
    EXPECT_FALSE(SchemeInQueue(state));
    state.queue.slots[3].SchemeFile = "  " + state.schemeList.selectedPath().toUpper() + " ";
    EXPECT_TRUE(SchemeInQueue(state));
}

TEST_F(RunCommandsTest, HandedSchemesAreQueuedAsGoQueuesThem) {
    addScheme("A");
    addScheme("B");
    select("A");
    port.setText(Field::Folder2, tree.at("elsewhere")); // typed, not saved: not what runs
    RunHandedSchemes(state, port, {tree.at("schemes/B.sch"), tree.at("schemes/A.sch")});
    EXPECT_EQ("B", TempTree::read(tree.at("dst/B/file.txt")));
    EXPECT_EQ("A", TempTree::read(tree.at("dst/A/file.txt")));
    EXPECT_FALSE(TempTree::exists(tree.at("elsewhere")));

    // During a batch they only join the queue, up to its limit; a file gone is said.
    state.flags.Busy = true;
    const QStringList six(6, tree.at("schemes/A.sch"));
    EXPECT_EQ(5, RunHandedSchemes(state, port, six + QStringList{tree.at("schemes/Gone.sch")}));
    EXPECT_EQ(4, state.queue.QueueLast);
    EXPECT_TRUE(
        port.dialogue().contains("information:Queue Is Full\nScheme Not Added To Queue List"));
    EXPECT_TRUE(port.dialogue().last().contains("File Not Found"));
}
