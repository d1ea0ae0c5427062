#include "commands/SchemeCommands.h"

#include "ScriptedPort.h"
#include "TempTree.h"
#include "app/SettingsLoader.h"
#include "commands/RunCommands.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::Answer;
using quorvia::test::ScriptedPort;
using quorvia::test::TempTree;

namespace {

class SchemeCommandsTest : public ::testing::Test {
protected:
    TempTree schemes, data;
    AppState state;
    ScriptedPort port;
    void SetUp() override {
        state.settings.SchemeDir = schemes.path() + "/";
        state.settings.Caps = true;
        state.settings.ConfirmDel = true;
        state.settings.Recycle = true;
        state.schemeList.setFolder(state.settings.SchemeDir);
        port.setText(Field::Folder1, data.mkdir("from"));
        port.setText(Field::Folder2, data.mkdir("to"));
    }
    QString saved(const QString& name) const { return schemes.at(name + ".sch"); }
    QStringList promptsShown() const {
        QStringList out;
        for (const auto& e : port.events)
            if (e.kind == test::PortEvent::Prompt)
                out << e.text;
        return out;
    }
};

} // namespace

TEST_F(SchemeCommandsTest, SaveNeedsOneFolderButAddNeedsBoth) {
    port.setText(Field::Folder2, "  ");
    port.script({Answer::typed("only one")});
    ASSERT_TRUE(SaveNewScheme(state, port));
    EXPECT_EQ(EncodeSchemeFile(NewSchemeLines(data.at("from"), "")),
              TempTree::read(saved("Only One")));
    EXPECT_EQ(QStringList{"Only One.sch"}, state.schemeList.items());
    EXPECT_EQ(saved("Only One"), state.schemeList.selectedPath());
    EXPECT_EQ("Only One", ReadSetting(kQuorviaKey, "LastSchemeName", "?"));

    ScriptedPort add;
    add.setText(Field::Folder1, data.at("from"));
    AddScheme(state, add);
    EXPECT_EQ(QStringList{"information:Scheme Must Have Entry For Second Folder"}, add.dialogue());
    EXPECT_EQ(Field::Folder2, add.focused);

    ScriptedPort none;
    EXPECT_FALSE(SaveNewScheme(state, none));
    EXPECT_EQ(QStringList{"information:Scheme Must Have Entry For Both Folders"}, none.dialogue());
    EXPECT_EQ(Field::Folder1, none.focused);
}

TEST_F(SchemeCommandsTest, ProposedNameFollowsTheSelectionOrTheLastName) {
    port.script({Answer::cancel()});
    EXPECT_FALSE(AskSchemeName(state, port));
    schemes.write("Daily.sch", "x");
    state.schemeList.reread();
    state.schemeList.selectByUser(0);
    port.script({Answer::cancel()});
    AskSchemeName(state, port);
    WriteSetting(kQuorviaKey, "LastSchemeName", "Weekly");
    state.schemeList.reread();
    port.script({Answer::cancel()});
    AskSchemeName(state, port);
    EXPECT_EQ((QStringList{"My Scheme", "Daily", "Weekly"}), promptsShown());
}

TEST_F(SchemeCommandsTest, BadNamesAreRefusedAndThePromptComesBack) {
    state.settings.SoundOn = true;
    port.script({Answer::typed("a<b/c"), Answer::typed("   "), Answer::typed("Fine")});
    EXPECT_EQ("Fine", AskSchemeName(state, port));
    EXPECT_EQ(
        (QStringList{"beep", "prompt:My Scheme", "beep", "warning:Invalid Char In File Name ( / )",
                     "prompt:a<b/c", "beep", "warning:Scheme Name Cannot Be Blank", "prompt:   "}),
        port.dialogue());
}

TEST_F(SchemeCommandsTest, OverwriteYesWritesAFreshScheme) {
    const QString old = schemes.write("Daily.sch", "/x\r\n/y\r\n1/1/26   1:00:00 AM\r\n99\r\n5\r\n"
                                                   "00:00:09\r\n(1.00 K)\r\n1\r\n4\r\n");
    state.schemeList.reread();
    port.script({Answer::typed("Daily"), Answer::no(), Answer::typed("Daily"), Answer::yes()});
    ASSERT_TRUE(SaveNewScheme(state, port));
    EXPECT_EQ(2, port.boxes().count("Scheme Name Given Exists Already, Overwrite It"));
    EXPECT_EQ(EncodeSchemeFile(NewSchemeLines(data.at("from"), data.at("to"))),
              TempTree::read(old));
    EXPECT_EQ("Never", port.text(Field::LastRunDate));
    EXPECT_EQ("File(s) Copied:", port.text(Field::FilesCopiedCaption));
}

TEST_F(SchemeCommandsTest, CapsDecidesTheFileName) {
    port.script({Answer::typed("  my daily backup ")});
    ASSERT_TRUE(SaveNewScheme(state, port));
    EXPECT_TRUE(TempTree::exists(saved("My Daily Backup")));
    state.settings.Caps = false;
    port.script({Answer::typed("my weekly backup")});
    ASSERT_TRUE(SaveNewScheme(state, port));
    EXPECT_TRUE(TempTree::exists(saved("my weekly backup")));
}

TEST_F(SchemeCommandsTest, OverwriteIsAskedForTheNameActuallySaved) {
    const QString old = schemes.write("Daily.sch", "old");
    state.schemeList.reread();
    port.script({Answer::typed(" daily"), Answer::no(), Answer::cancel()});
    EXPECT_FALSE(SaveNewScheme(state, port));
    EXPECT_EQ("old", TempTree::read(old));
    state.settings.Caps = false;
    port.script({Answer::typed("DAILY"), Answer::yes()});
    ASSERT_TRUE(SaveNewScheme(state, port));
    EXPECT_EQ(QStringList{"Daily.sch"}, state.schemeList.items())
        << "the existing file is replaced";
    EXPECT_EQ(EncodeSchemeFile(NewSchemeLines(data.at("from"), data.at("to"))),
              TempTree::read(old));
}

TEST(CapitalizeWordsTest, WordsCapitalisedInnerBlanksKept) {
    EXPECT_EQ("My Daily   Backup", CapitalizeWords("  my DAILY   backup  "));
    EXPECT_EQ("", CapitalizeWords(""));
    EXPECT_EQ("", CapitalizeWords("   "));
    EXPECT_EQ("élan Vital", CapitalizeWords("élan vital")) << "only a to z change";
    EXPECT_EQ(255, CapitalizeWords(QString(300, 'x')).size());
}

TEST_F(SchemeCommandsTest, RefusedNamesAndMissingFoldersAreReportedAndChangeNothing) {
    port.script({Answer::typed(QString(300, 'n'))});
    EXPECT_FALSE(SaveNewScheme(state, port));
    ASSERT_EQ(2, port.boxes().size()); // the prompt, then the report
    EXPECT_TRUE(port.boxes().last().startsWith("Scheme Could Not Be Saved: " + schemes.path()));
    EXPECT_EQ("<none>", ReadSetting(kQuorviaKey, "LastSchemeName", "<none>"));
    EXPECT_TRUE(QDir(schemes.path()).entryList(QDir::Files).isEmpty());

    state.settings.SchemeDir = schemes.at("gone/");
    ScriptedPort p;
    p.setText(Field::Folder1, data.at("from"));
    EXPECT_FALSE(SaveNewScheme(state, p));
    EXPECT_EQ(QStringList{"warning:The Scheme Folder Is Missing: " + schemes.at("gone/") +
                          "\nScheme Not Saved"},
              p.dialogue());
    EXPECT_FALSE(QDir(schemes.at("gone")).exists());
}

TEST_F(SchemeCommandsTest, AddChecksEachFolderAndCreatesItOnRequest) {
    port.setText(Field::Folder1, data.at("fr?om"));
    AddScheme(state, port);
    EXPECT_EQ(QStringList{"Invalid File/Path Name"}, port.boxes());
    EXPECT_EQ(Field::Folder1, port.focused);

    ScriptedPort p;
    p.setText(Field::Folder1, data.at("from"));
    p.setText(Field::Folder2, data.at("new/to"));
    p.script({Answer::no()});
    AddScheme(state, p);
    EXPECT_EQ(QStringList{"Dir (" + data.at("new/to") + ") Doesn't Exist, Create"}, p.boxes());
    EXPECT_EQ(Field::Folder2, p.focused);
    EXPECT_FALSE(QDir(data.at("new")).exists());

    ScriptedPort q;
    q.setText(Field::Folder1, data.at("from"));
    q.setText(Field::Folder2, data.at("new/to"));
    q.script({Answer::yes(), Answer::typed("Nightly")});
    AddScheme(state, q);
    EXPECT_TRUE(QDir(data.at("new/to")).exists());
    EXPECT_TRUE(TempTree::exists(saved("Nightly")));
}

TEST_F(SchemeCommandsTest, AddRefusesASourceInsideItsDestinationOrTheSameFolder) {
    for (const QString& to : {data.path(), data.at("from/../from")}) {
        ScriptedPort p;
        p.setText(Field::Folder1, data.at("from"));
        p.setText(Field::Folder2, to);
        AddScheme(state, p);
        ASSERT_EQ(1, p.boxes().size());
        EXPECT_TRUE(p.boxes()[0].startsWith("Folder 1 (" + data.at("from") + ")"));
        EXPECT_EQ(Field::Folder2, p.focused);
    }
    EXPECT_TRUE(QDir(schemes.path()).entryList(QDir::Files).isEmpty()) << "nothing saved";
}

TEST_F(SchemeCommandsTest, SavingOverAReadOnlySchemeFailsAndKeepsIt) {
    const QString old = schemes.write("Daily.sch", "old");
    QFile::setPermissions(old, QFile::ReadOwner | QFile::ReadGroup);
    state.schemeList.reread();
    port.script({Answer::typed("Daily"), Answer::yes()});
    EXPECT_FALSE(SaveNewScheme(state, port));
    EXPECT_TRUE(port.boxes().last().startsWith("Scheme Could Not Be Saved: " + old));
    EXPECT_EQ("old", TempTree::read(old));
}

TEST_F(SchemeCommandsTest, DeleteToTrashWithoutAQuestionOrOutrightAfterOne) {
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    QDir().mkpath(home);
    const QString a = schemes.write("A.sch", "x");
    const QString b = schemes.write("B.sch", "x");
    state.schemeList.reread();
    state.settings.ConfirmDel = false;
    state.schemeList.selectByUser(0);
    DeleteSelectedScheme(state, port);
    EXPECT_TRUE(port.boxes().isEmpty());
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_TRUE(QDir(home + "/Trash/files").entryList().contains("A.sch"));
    EXPECT_EQ(QStringList{"B.sch"}, state.schemeList.items());
    EXPECT_EQ(Field::Folder1, port.focused);

    state.settings.ConfirmDel = true;
    state.settings.Recycle = false;
    state.schemeList.selectByUser(0);
    ScriptedPort p;
    p.script({Answer::no()});
    DeleteSelectedScheme(state, p);
    EXPECT_TRUE(TempTree::exists(b));
    p.script({Answer::yes()});
    DeleteSelectedScheme(state, p);
    EXPECT_EQ((QStringList{"Delete Scheme " + b, "Delete Scheme " + b}), p.boxes());
    EXPECT_FALSE(TempTree::exists(b));
    EXPECT_TRUE(state.schemeList.items().isEmpty());
}

TEST_F(SchemeCommandsTest, AQueuedSchemeCannotBeDeleted) {
    schemes.write("A.sch", "x");
    state.schemeList.reread();
    state.schemeList.selectByUser(0);
    QueueSelectedScheme(state, port);
    state.settings.ConfirmDel = false;
    DeleteSelectedScheme(state, port);
    EXPECT_EQ(QStringList{"Scheme To Delete Is In The Queue.\nDelete Scheme Aborted"},
              port.boxes());
    EXPECT_TRUE(TempTree::exists(schemes.at("A.sch")));
}

TEST_F(SchemeCommandsTest, TypingAfterLoadingClearsTheSelectionAndTheRecord) {
    schemes.write("A.sch",
                  EncodeSchemeFile({"/a", "/b", "today", "0", "3", "00:00:01", "(1 K)", "0", "9"}));
    schemes.write("B.sch", EncodeSchemeFile(NewSchemeLines("/c", "/d")));
    state.schemeList.reread();
    SchemeListChange(state, port, 0);
    EXPECT_EQ("/a", port.text(Field::Folder1));
    EXPECT_EQ("9", port.text(Field::FilesCopied));

    port.setText(Field::Folder1, "/typed");
    FolderBoxEdited(state, port);
    EXPECT_FALSE(state.schemeList.SchemeSelected());
    EXPECT_EQ("Never", port.text(Field::LastRunDate));
    EXPECT_EQ("0", port.text(Field::FilesCopied));
    EXPECT_EQ("N/A", port.text(Field::TotalTime));

    SchemeListChange(state, port, 0);
    EXPECT_TRUE(state.schemeList.SchemeSelected());
    EXPECT_EQ("/typed", port.text(Field::Folder1)) << "the same scheme again keeps typed folders";
    SchemeListChange(state, port, 1);
    SchemeListChange(state, port, 0);
    EXPECT_EQ("/a", port.text(Field::Folder1));
}
