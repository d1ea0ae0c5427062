#include "commands/SpaceReports.h"
#include "EngineFixture.h"
#include "commands/FolderChecks.h"
#include "commands/RunTexts.h"
#include "engine/PathChecks.h"

namespace quorvia::test {
namespace {

struct SpaceReportsTest : EngineFixture {};

TEST_F(SpaceReportsTest, SizeReportOfThreeFoldersTenFilesFourToCopy) {
    // Six files are up to date at the destination; four need 4000 bytes.
    const char* folders[] = {"", "x/", "y/", "y/z/"};
    for (int i = 0; i < 10; ++i) {
        const QString name = QString(folders[i % 4]) + QString("f%1.bin").arg(i);
        tree.write("src/" + name, QByteArray(i < 4 ? 1000 : 7, 'x'));
        if (i >= 4) {
            tree.write("dst/" + name, "same");
            TempTree::setMtime(tree.at("dst/" + name), TempTree::mtime(tree.at("src/" + name)));
        }
    }
    port.setText(Field::Folder1, "  " + tree.at("src") + " ");
    port.setText(Field::Folder2, tree.at("dst"));
    io.free = [](const QByteArray&) { return std::optional<int64_t>(3 * 1048576); };
    EXPECT_EQ(ReportSize(state, port, io), 4000);

    const QStringList report = port.boxes().value(0).split("\n\n");
    EXPECT_EQ(port.text(Field::Folder1), tree.at("src"));
    EXPECT_EQ(report.value(0), "Searched: " + FolderDisplayText(tree.at("src")));
    EXPECT_EQ(report.mid(1, 3),
              (QStringList{"Found 3 Folder(s), and 10 File(s).", "4 File(s) Need To Be Synched.",
                           "Total File Size = 3.91 K"}));
    EXPECT_EQ(report.value(4), QString(49, '-'));
    EXPECT_EQ(report.value(6), "Total Space Available = 3.00 Meg");
    EXPECT_EQ(state.run.BytesNeeded, 4000);
    EXPECT_FALSE(TempTree::exists(tree.at("dst/f0.bin"))); // a scan copies nothing
    EXPECT_FALSE(state.flags.Busy);
    EXPECT_EQ(port.text(Field::Title), "Quorvia");
}

TEST_F(SpaceReportsTest, ReportWarnsOfErrorsAndAbort) {
    RunState run;
    run.FolderCount = 1;
    run.RunErrors = 2;
    run.aborted = true;
    EXPECT_TRUE(SizeReport(run, "/a", "", 0)
                    .endsWith("Total File Size = 0.00 Bytes\n\n\nWARNING: 2 Error(s) Were "
                              "Reported. Total Size MIGHT Be Wrong!\nWARNING: Aborted By User. "
                              "Total Size MIGHT Be Wrong!"));
    EXPECT_EQ(FolderDisplayText("/home/someone/Backups/wxyz"), "/ho...omeone/Backups/wxyz");
    EXPECT_EQ(FolderDisplayText("/home/someone/Abc"), "/home/someone/Abc");
}

TEST_F(SpaceReportsTest, BlankFoldersAreRefusedBeforeAnyWork) {
    EXPECT_EQ(ReportSize(state, port, io), 0);
    ReportWindowFreeSpace(state, port, io);
    EXPECT_EQ(port.boxes(), (QStringList{"Scheme Must Have Entry For First Folder",
                                         "Scheme Must Have Entry For Second Folder"}));
    EXPECT_EQ(port.checkingWindowShows, 0);
    EXPECT_FALSE(state.flags.Busy);

    port.setText(Field::Folder2, tree.path());
    io.free = [](const QByteArray&) { return std::nullopt; };
    EXPECT_EQ(FreeBytes(tree.path(), io), 0);
}

TEST_F(SpaceReportsTest, PathChecks) {
    const Settings& s = state.settings;
    EXPECT_EQ(CheckPathChars("/home/me/docs"), 0);
    EXPECT_EQ(CheckPathChars("/home?/a\\b"), 6);
    EXPECT_EQ(CheckPathChars("/a|b//c"), 5);
    EXPECT_TRUE(PathCharsAcceptable(s, port, "/home/me/docs"));
    EXPECT_FALSE(PathCharsAcceptable(s, port, "/a|b//c"));
    EXPECT_EQ(port.boxes(), QStringList{"Invalid File/Path Name"});

    const QString missing = tree.at("new/deeper");
    port.script({Answer::no(), Answer::yes()});
    EXPECT_FALSE(EnsureFolder(s, port, missing));
    EXPECT_FALSE(TempTree::exists(missing));
    EXPECT_TRUE(EnsureFolder(s, port, missing));
    EXPECT_TRUE(QFileInfo(missing).isDir());
    EXPECT_EQ(port.boxes().last(), "Dir (" + missing + ") Doesn't Exist, Create");

    EXPECT_TRUE(DrivePresent(s, port, tree.path()));
    EXPECT_FALSE(DrivePresent(s, port, "/no-such-volume-here/x"));
    EXPECT_EQ(port.boxes().last(), "Drive (/no-such-volume-here ) Does Not Exist\nIf This Drive "
                                   "Is Removable, Make Sure It Is Inserted");
}

} // namespace
} // namespace quorvia::test
