#include "schemes/SchemeFile.h"
#include "schemes/LastRunDisplay.h"

#include "ScriptedPort.h"
#include "TempTree.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvia;
using quorvia::test::ScriptedPort;
using quorvia::test::TempTree;

namespace {

class SchemeFileTest : public ::testing::Test {
protected:
    TempTree dir;
    AppState state;
    ScriptedPort port;
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

const QByteArray kNewScheme =
    "/home/ann/docs\r\n/media/ann/STICK/docs\r\nNever\r\n0\r\n0\r\nN/A\r\n"
    " \r\n0\r\n0\r\n";

} // namespace

TEST_F(SchemeFileTest, NewSchemeFileIsNineCrLfLinesByteExact) {
    const QByteArray bytes =
        EncodeSchemeFile(NewSchemeLines("  /home/ann/docs ", "/media/ann/STICK/docs  "));
    EXPECT_EQ(kNewScheme, bytes);
    EXPECT_EQ(NewSchemeLines("/home/ann/docs", "/media/ann/STICK/docs").toList(),
              DecodeSchemeLines(bytes, 9));
    EXPECT_EQ(bytes, EncodeSchemeFile(NewSchemeLines("/home/ann/docs", "/media/ann/STICK/docs")));
}

TEST_F(SchemeFileTest, DecoderHandlesEndsOfLineEndOfFileMarkAndDamage) {
    EXPECT_EQ((QStringList{"a", "b", "c"}), DecodeSchemeLines("a\r\nb\nc", 9));
    EXPECT_EQ((QStringList{"a", "", "b"}), DecodeSchemeLines("a\r\r\nb\r\n", 9));
    EXPECT_EQ((QStringList{"a", "b"}), DecodeSchemeLines("a\r\nb\x1a\r\nignored\r\n", 9));
    EXPECT_TRUE(DecodeSchemeLines("", 9).isEmpty());
    EXPECT_EQ(2, DecodeSchemeLines("1\r\n2\r\n3\r\n", 2).size());
    const QByteArray binary("\x00\xff\xfe\x80\r\n\x01", 7);
    EXPECT_EQ(2, DecodeSchemeLines(binary, 9).size());
}

TEST_F(SchemeFileTest, LoadShowsEveryLineInTheWindow) {
    const QString path = dir.write("Daily.sch", "/src\r\n/dst \r\n12/1/26   1:02:03 PM\r\n99\r\n"
                                                "3\r\n00:01:05 (Aborted) \r\n (1.50 K) \r\n2\r\n"
                                                "1234567\r\n");
    LoadSchemeFile(state.settings, port, path);
    EXPECT_TRUE(port.dialogue().isEmpty());
    EXPECT_EQ("/src", port.text(Field::Folder1));
    EXPECT_EQ("/dst", port.text(Field::Folder2));
    EXPECT_EQ("12/1/26   1:02:03 PM", port.text(Field::LastRunDate));
    EXPECT_EQ("File(s) Zipped:", port.text(Field::FilesCopiedCaption));
    EXPECT_EQ("3", port.text(Field::FoldersCopied));
    EXPECT_EQ("00:01:05 (Aborted)", port.text(Field::TotalTime));
    EXPECT_EQ("(1.50 K)", port.text(Field::SizeCopied));
    EXPECT_EQ("2", port.text(Field::Errors));
    EXPECT_EQ("1,234,567", port.text(Field::FilesCopied));
}

TEST_F(SchemeFileTest, ShortBinaryOrEmptyFilesLoadWithoutError) {
    static const char binary[] = "\x00\x01\x02\xff\r\nxyz\r\nnot a number\r\nabc";
    for (const QByteArray& content :
         {QByteArray("/src\r\n/dst\r\nNever\r\n"), QByteArray(), QByteArray("\x1a"),
          QByteArray(binary, sizeof(binary) - 1), QByteArray(200000, 'x')}) {
        ScriptedPort p;
        LoadSchemeFile(state.settings, p, dir.write("Odd.sch", content));
        EXPECT_TRUE(p.dialogue().isEmpty());
        EXPECT_EQ("File(s) Copied:", p.text(Field::FilesCopiedCaption));
        EXPECT_EQ("0", p.text(Field::FoldersCopied));
        EXPECT_EQ("0", p.text(Field::Errors));
        EXPECT_EQ("0", p.text(Field::FilesCopied));
        EXPECT_TRUE(p.text(Field::TotalTime).isEmpty());
    }
}

TEST_F(SchemeFileTest, LoadFailureShowsTwoLineBreaksAndClearsTheDisplay) {
    state.settings.SoundOn = true;
    port.setText(Field::Folder1, "/kept");
    const QString path = dir.at("Gone.sch");
    LoadSchemeFile(state.settings, port, path);
    EXPECT_EQ(
        (QStringList{"beep", "warning:Scheme File Was NOT Read. File Not Found\n\nFile: " + path}),
        port.dialogue());
    EXPECT_EQ("/kept", port.text(Field::Folder1));
    EXPECT_EQ("Never", port.text(Field::LastRunDate));
    EXPECT_EQ("N/A", port.text(Field::TotalTime));

    ScriptedPort none;
    LoadSchemeFile(state.settings, none, QString());
    EXPECT_TRUE(none.events.empty()) << "nothing selected, nothing done";
}

TEST_F(SchemeFileTest, MessagesByErrorClass) {
    const QString p = "/s/x.sch";
    EXPECT_EQ("Scheme File Was NOT Updated. File Not Found\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Write, ENOENT, p));
    EXPECT_EQ("Scheme File Was NOT Updated. Share Violation\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Write, EACCES, p));
    EXPECT_EQ("Scheme File Was NOT Updated. No Space Available\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Write, ENOSPC, p));
    EXPECT_EQ("Scheme File Was NOT Updated. File Error (5)\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Write, EIO, p));
    EXPECT_EQ("Scheme File Was NOT Read. Share Violation\n\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Read, EPERM, p));
    EXPECT_EQ("Scheme File Was NOT Read. File Error (28)\n\nFile: " + p,
              SchemeFileMessage(SchemeFileOp::Read, ENOSPC, p));
}

TEST_F(SchemeFileTest, WriteAfterAnAbortedRunRecordsTheRunAndRefreshesTheWindow) {
    const QString path = dir.write("Daily.sch", kNewScheme);
    state.queue.slots[0] = {path, "/src", "/dst", SchemeRecord::Copied};
    state.run.FolderCount = 4;
    state.run.RunElapsedText = "00:01:05";
    state.run.ByteTotal = 1536;
    state.run.RunErrors = 1;
    state.run.FilesCopied = 7;
    state.flags.AbortRequested = true;
    WriteSchemeFile(state, port);

    const QStringList lines = DecodeSchemeLines(TempTree::read(path), 20);
    ASSERT_EQ(9, lines.size());
    EXPECT_TRUE(TempTree::read(path).endsWith("\r\n7\r\n"));
    EXPECT_EQ("/src", lines[0]);
    EXPECT_TRUE(lines[2].contains("   ")) << "date, three blanks, time";
    EXPECT_EQ((QStringList{"0", "4", "00:01:05 (Aborted)", "(1.50 K)", "1", "7"}), lines.mid(3));
    EXPECT_EQ("00:01:05 (Aborted)", port.text(Field::TotalTime));
    EXPECT_EQ("(1.50 K)", port.text(Field::SizeCopied));
    EXPECT_EQ("7", port.text(Field::FilesCopied));
    EXPECT_TRUE(port.text(Field::SchemeRunning).isEmpty());
    EXPECT_EQ(1, state.run.RunErrors);
}

TEST_F(SchemeFileTest, WriteToAVanishedSchemeCountsAnErrorAndCreatesNothing) {
    const QString path = dir.at("Moved.sch");
    state.queue.slots[0] = {path, "/src", "/dst"};
    port.setText(Field::LastRunDate, "before");
    WriteSchemeFile(state, port);
    EXPECT_EQ(1, state.run.RunErrors);
    EXPECT_EQ(QStringList{"Scheme File Was NOT Updated. File Not Found\nFile: " + path},
              port.boxes());
    EXPECT_FALSE(TempTree::exists(path));
    EXPECT_EQ("before", port.text(Field::LastRunDate));
}

TEST_F(SchemeFileTest, ClearLastRunDisplay) {
    ClearLastRunDisplay(port);
    EXPECT_EQ("Never", port.text(Field::LastRunDate));
    EXPECT_EQ("", port.text(Field::SizeCopied));
    EXPECT_EQ("0", port.text(Field::FoldersCopied));
    EXPECT_EQ("0", port.text(Field::Errors));
    EXPECT_EQ("0", port.text(Field::FilesCopied));
    EXPECT_EQ("N/A", port.text(Field::TotalTime));
}

TEST_F(SchemeFileTest, AReadOnlySchemeFileIsNotRewrittenSilently) {
    const QString path = dir.write("Daily.sch", kNewScheme);
    ASSERT_EQ(0, chmod(QFile::encodeName(path).constData(), 0444));
    state.queue.slots[0] = {path, "/src", "/dst", SchemeRecord::Copied};
    WriteSchemeFile(state, port);
    EXPECT_EQ(1, state.run.RunErrors);
    EXPECT_EQ(QStringList{"Scheme File Was NOT Updated. Share Violation\nFile: " + path},
              port.boxes());
    EXPECT_EQ(kNewScheme, TempTree::read(path)) << "whoever runs it, root included";
}

TEST_F(SchemeFileTest, LinkedSchemeFilesAreRewrittenWhereTheyLiveWithTheirAttributes) {
    const QByteArray target = QFile::encodeName(dir.write("kept/Daily.sch", kNewScheme));
    const QString link = dir.at("Daily.sch");
    ASSERT_EQ(0, symlink("kept/Daily.sch", QFile::encodeName(link).constData()));
    ASSERT_EQ(0, chmod(target.constData(), 0640));
    const bool xattrs = platform::supportsExtendedAttributes(target);
    if (xattrs) {
        ASSERT_EQ(0,
                  platform::writeAttributes(target, platform::AttrSystem | platform::AttrArchive));
    }
    auto folder2 = [](const QString& file) {
        return DecodeSchemeLines(TempTree::read(file), 9).value(1);
    };

    // Through a link: the file it names is rewritten, the link stays.
    state.queue.slots[0] = {link, "/src", "/by-link"};
    WriteSchemeFile(state, port);
    struct stat st {};
    ASSERT_EQ(0, lstat(QFile::encodeName(link).constData(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ("/by-link", folder2(QFile::decodeName(target)));
    ASSERT_EQ(0, stat(target.constData(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    if (xattrs) {
        uint32_t attributes = 0;
        platform::readAttributes(target, attributes);
        EXPECT_EQ(uint32_t(platform::AttrSystem | platform::AttrArchive), attributes);
    }

    // A hard link: both names keep showing one file.
    const QString hard = dir.at("Other.sch");
    ASSERT_EQ(0, ::link(target.constData(), QFile::encodeName(hard).constData()));
    state.queue.slots[0] = {hard, "/src", "/by-hard-link"};
    WriteSchemeFile(state, port);
    struct stat after {};
    ASSERT_EQ(0, stat(target.constData(), &after));
    EXPECT_EQ(st.st_ino, after.st_ino);
    EXPECT_EQ(2u, after.st_nlink);
    EXPECT_EQ("/by-hard-link", folder2(link));
    EXPECT_EQ("/by-hard-link", folder2(hard));
    EXPECT_TRUE(port.boxes().isEmpty()) << port.boxes().join('|').toStdString();
    EXPECT_EQ((QStringList{"Daily.sch"}), QDir(dir.at("kept")).entryList(QDir::Files))
        << "no temporary left";
}
