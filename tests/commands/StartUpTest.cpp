#include "commands/StartUp.h"

#include "commands/SchemeCommands.h"

#include "app/SettingsLoader.h"

#include "ScriptedPort.h"
#include "TempTree.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::Answer;
using quorvia::test::ScriptedPort;
using quorvia::test::TempTree;

namespace {

QString stored(const QString& name) {
    return platform::readValue(kQuorviaKey, name).value_or("<absent>");
}

class StartUpTest : public ::testing::Test {
protected:
    TempTree programDir;
    AppState state;
    ScriptedPort port;
    void SetUp() override { state.ProgramFolder = programDir.path() + "/"; }
    QString installQuestion(const QString& schemeDir) const {
        return "You Have Started Quorvia From A Different Directory Than Orignally Installed.\n(" +
               schemeDir + ")\n\nDo You Intend To Keep Running Quorvia From This Directory?\n(" +
               state.ProgramFolder + ")";
    }
};

} // namespace

TEST_F(StartUpTest, FirstStartAsksThenCreatesEveryValueWithItsDefault) {
    port.script({Answer::yes()});
    StartUp(state, port);

    EXPECT_EQ((QStringList{"beep", "confirm:" + installQuestion(""), "beep",
                           "information:Make Sure You Have Moved Your Scheme and Help Files To " +
                               state.ProgramFolder}),
              port.dialogue());
    EXPECT_EQ(10, port.events[1].helpContext);

    const std::map<QString, QString> expected = {{"SchemeDir", state.ProgramFolder},
                                                 {"CheckPrior", "True"},
                                                 {"ShowWork", "False"},
                                                 {"SoundOn", "True"},
                                                 {"Caps", "True"},
                                                 {"ConfirmDel", "True"},
                                                 {"Recycle", "True"},
                                                 {"CopyOnlyNewer", "True"},
                                                 {"CopyHidden", "True"},
                                                 {"CopySystem", "True"},
                                                 {"ResetArchiveFlag", "False"},
                                                 {"ZipArchiveFlag", "False"},
                                                 {"LastSchemeName", "My Scheme"},
                                                 {"Version", "v1.10"},
                                                 {"CompileDate", "10/04/98"},
                                                 {"SMTP", "Your SMTP Account"},
                                                 {"UserName", "Your User Name"},
                                                 {"SenderName", "Your Name"}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(value, stored(name)) << name.toStdString();
    for (const char* notYet : {"ZipPassword", "ZipCompression", "ZipStoreDir", "Zip83Format"})
        EXPECT_EQ("<absent>", stored(notYet)) << notYet;

    const Settings& s = state.settings;
    EXPECT_TRUE(s.CheckPrior && s.SoundOn && s.Caps && s.ConfirmDel && s.Recycle);
    EXPECT_TRUE(s.CopyOnlyNewer && s.CopyHidden && s.CopySystem && s.ZipStoreDir);
    EXPECT_FALSE(s.ShowWork || s.ResetArchiveFlag || s.ZipArchiveFlag || s.ZipPassword);
    EXPECT_EQ(3, s.ZipCompression);
    EXPECT_EQ("My Scheme", s.LastSchemeName);
    EXPECT_EQ(state.ProgramFolder, state.schemeList.folder());
}

TEST_F(StartUpTest, AnsweringNoKeepsTheStoredFolderAndAsksAgainNextStart) {
    TempTree other;
    const QString dir = other.path() + "/";
    platform::writeValue(kQuorviaKey, "SchemeDir", dir);
    other.write("Daily.sch", "x");
    port.script({Answer::no()});
    StartUp(state, port);
    EXPECT_EQ(dir, state.settings.SchemeDir);
    EXPECT_EQ(dir, stored("SchemeDir"));
    EXPECT_EQ(QStringList{"Daily.sch"}, state.schemeList.items());
    EXPECT_EQ(1, port.beeps()) << "the question always beeps, nothing else";

    ScriptedPort again;
    again.script({Answer::no()});
    StartUp(state, again);
    EXPECT_EQ(2, again.boxes().size() + again.beeps());
}

TEST_F(StartUpTest, FolderDifferingOnlyInCaseOrBlanksRaisesNoQuestion) {
    platform::writeValue(kQuorviaKey, "SchemeDir", "  " + state.ProgramFolder.toUpper() + " ");
    StartUp(state, port); // an unscripted question would fail the test
    EXPECT_TRUE(port.dialogue().isEmpty());
}

TEST_F(StartUpTest, OnlyExactTrueIsOnAndJunkReadsAsDefault) {
    platform::writeValue(kQuorviaKey, "SchemeDir", state.ProgramFolder);
    platform::writeValue(kQuorviaKey, "CheckPrior", "true");
    platform::writeValue(kQuorviaKey, "ShowWork", "True");
    platform::writeValue(kQuorviaKey, "ZipCompression", "twelve");
    StartUp(state, port);
    EXPECT_FALSE(state.settings.CheckPrior);
    EXPECT_EQ("False", stored("CheckPrior"));
    EXPECT_TRUE(state.settings.ShowWork);
    EXPECT_EQ(3, state.settings.ZipCompression);

    for (const auto& [text, level] :
         std::vector<std::pair<QString, int>>{{"9", 9}, {"0", 0}, {"10", 3}, {"-1", 3}, {"", 3}}) {
        platform::writeValue(kQuorviaKey, "ZipCompression", text);
        StartUp(state, port);
        EXPECT_EQ(level, state.settings.ZipCompression) << text.toStdString();
    }
}

TEST_F(StartUpTest, MailDefaultsComeFromTheMailClientOnlyWhileThePlaceholderStands) {
    platform::writeValue(kQuorviaKey, "SchemeDir", state.ProgramFolder);
    platform::writeValue(kMailClientKey, "Default SMTP Server", "smtp.example.org");
    platform::writeValue(kMailClientKey, "Sender Name", "Ann Example");
    StartUp(state, port);
    EXPECT_EQ("smtp.example.org", stored("SMTP"));
    EXPECT_EQ("Ann Example", stored("SenderName"));
    EXPECT_EQ("Your User Name", stored("UserName"));

    platform::writeValue(kMailClientKey, "Default SMTP Server", "other.example.org");
    StartUp(state, port);
    EXPECT_EQ("smtp.example.org", stored("SMTP"));
}

TEST_F(StartUpTest, NoWithoutAUsableStoredFolderListsAndSavesInTheProgramFolder) {
    programDir.write("Old.sch", "x");
    // A first start (nothing stored) and a stored folder that is gone.
    for (const QString& storedDir : {QString(), QString("/no/such/folder/")}) {
        if (!storedDir.isEmpty())
            platform::writeValue(kQuorviaKey, "SchemeDir", storedDir);
        ScriptedPort no;
        no.script({Answer::no()});
        StartUp(state, no);
        EXPECT_EQ(storedDir, state.settings.SchemeDir) << "the answer is kept";
        EXPECT_EQ(QStringList{"Old.sch"}, state.schemeList.items());
    }
    state.settings.SoundOn = false;
    port.setText(Field::Folder1, "/from");
    port.setText(Field::Folder2, "/to");
    port.script({Answer::typed("new one")});
    ASSERT_TRUE(SaveNewScheme(state, port)) << port.boxes().join("|").toStdString();
    EXPECT_TRUE(QFile::exists(state.ProgramFolder + "New One.sch"));
    EXPECT_EQ((QStringList{"New One.sch", "Old.sch"}), state.schemeList.items());
}

TEST_F(StartUpTest, AWriteFailureIsReportedOnceAndTheOptionsStillLoad) {
    platform::writeValue(kQuorviaKey, "SchemeDir", state.ProgramFolder);
    platform::writeValue(kQuorviaKey, "ShowWork", "True");
    // The options survive in memory; then the store turns unwritable.
    const QString file = platform::storeLocation(kQuorviaKey);
    QFile::remove(file);
    QDir().mkpath(file);
    port.script({Answer::no()}); // the store now reads as empty: the question comes
    StartUp(state, port);
    const QStringList boxes = port.boxes();
    ASSERT_EQ(2, boxes.size());
    EXPECT_TRUE(boxes[1].startsWith("Settings Could Not Be Saved. Value: SchemeDir"))
        << boxes[1].toStdString();
    EXPECT_TRUE(state.settings.CheckPrior) << "defaults still apply";
}
