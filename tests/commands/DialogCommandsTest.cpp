#include "commands/SettingsCommands.h"
#include "commands/StatsReport.h"

#include "app/SettingsLoader.h"

#include "ScriptedPort.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::ScriptedPort;

namespace {

QString stored(const QString& name) {
    return platform::readValue(kQuorviaKey, name).value_or("<absent>");
}

struct DialogCommandsTest : ::testing::Test {
    DialogCommandsTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~DialogCommandsTest() override { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST_F(DialogCommandsTest, ALevelOutsideZeroToNineIsRefusedAndNothingIsStored) {
    for (const char* text : {"12", "-1", "$A"}) {
        Settings s;
        s.SoundOn = true;
        s.ZipCompression = 4;
        ScriptedPort port;
        EXPECT_EQ(ZipLevelResult::OutOfRange, AcceptZipLevel(s, port, text)) << text;
        // The dialog's own beep, then the alert's.
        EXPECT_EQ((QStringList{"beep", "beep", "warning:ZIP Compression Invalid"}), port.dialogue())
            << text;
        EXPECT_EQ(4, s.ZipCompression);
        EXPECT_EQ("<absent>", stored("ZipCompression"));
    }
}

TEST_F(DialogCommandsTest, TextThatIsNoIntegerGetsTheConversionBoxOnly) {
    for (const char* text : {"abc", "5 ", ""}) {
        Settings s;
        s.SoundOn = true;
        s.ZipCompression = 4;
        ScriptedPort port;
        EXPECT_EQ(ZipLevelResult::NotAnInteger, AcceptZipLevel(s, port, text)) << text;
        EXPECT_EQ(QStringList{"warning:'" + QString(text) + "' is not a valid integer value"},
                  port.dialogue());
        EXPECT_EQ(4, s.ZipCompression);
        EXPECT_EQ("<absent>", stored("ZipPassword"));
    }
}

TEST_F(DialogCommandsTest, AGoodLevelIsTakenAndEverySettingStored) {
    Settings s;
    s.SchemeDir = "/s/";
    s.Caps = true;
    ScriptedPort port;
    EXPECT_EQ(ZipLevelResult::Saved, AcceptZipLevel(s, port, "  $9"));
    EXPECT_EQ(9, s.ZipCompression);
    EXPECT_EQ("9", stored("ZipCompression"));
    EXPECT_EQ("True", stored("Caps"));
    EXPECT_EQ("/s/", stored("SchemeDir"));
    EXPECT_TRUE(port.dialogue().isEmpty());

    const QString file = platform::storeLocation(kQuorviaKey);
    QFile::remove(file);
    QDir().mkpath(file); // the store turns unwritable
    EXPECT_EQ(ZipLevelResult::NotStored, AcceptZipLevel(s, port, "2"));
    EXPECT_EQ(2, s.ZipCompression) << "memory keeps the new level";
    EXPECT_EQ(1, port.boxes().size());
}

TEST_F(DialogCommandsTest, StatsRowsBeforeAnyRun) {
    Settings s;
    s.LastSchemeName = "My Scheme";
    s.SchemeDir = "/Home/Ann/";
    StatsRows rows = ReadStatsRows(s);
    for (const QString& zero :
         {rows.TimesRun, rows.DirCount, rows.ErrorCount, rows.LastRunTime, rows.TotalFileCount,
          rows.TotalDirCount, rows.TotalErrorCount, rows.FileCopied})
        EXPECT_EQ("0", zero);
    EXPECT_EQ("0.00 Bytes", rows.TotalTransferred);
    EXPECT_EQ("0.00 Bytes", rows.LastRunSize);
    EXPECT_EQ("Never", rows.LastRunOn);
    EXPECT_EQ("Unknown", rows.Version);
    EXPECT_EQ("Unknown", rows.CompileDate);
    EXPECT_EQ("My Scheme", rows.LastSchemeName);
    EXPECT_EQ("/Home/Ann/", rows.SchemeDir) << "in its own case";
}

TEST_F(DialogCommandsTest, StatsRowsFormatCountsAndSizesAndKeepTheRestAsStored) {
    platform::writeValues(kQuorviaKey, {{"TotalFileCount", "1234567"},
                                        {"TotalErrorCount", "1234567"},
                                        {"FileCopied", "1234567"},
                                        {"DirCount", "2500"},
                                        {"ErrorCount", "oops"},
                                        {"TotalTransferred", "1048576"},
                                        {"LastRunSize", "400"},
                                        {"TimesRun", "12"},
                                        {"LastRunTime", "00:01:05 (Aborted)"},
                                        {"Version", "v1.10"}});
    const StatsRows rows = ReadStatsRows({});
    EXPECT_EQ("1,234,567", rows.TotalFileCount);
    EXPECT_EQ("1234567", rows.TotalErrorCount);
    EXPECT_EQ("1234567", rows.FileCopied);
    EXPECT_EQ("2,500", rows.DirCount);
    EXPECT_EQ("oops", rows.ErrorCount) << "a text that is no number stays as it is";
    EXPECT_EQ("1.00 Meg", rows.TotalTransferred);
    EXPECT_EQ("400.00 Bytes", rows.LastRunSize);
    EXPECT_EQ("12", rows.TimesRun);
    EXPECT_EQ("00:01:05 (Aborted)", rows.LastRunTime);
    EXPECT_EQ("v1.10", rows.Version);
}

TEST_F(DialogCommandsTest, LongTextsAreShortenedInTheMiddle) {
    const QString forty = "/home/ann/" + QString(29, 'x') + "/";
    ASSERT_EQ(40, forty.size());
    EXPECT_EQ(forty, ShortenedText(forty));
    EXPECT_EQ(forty, ShortenedText("  " + forty + " "));
    const QString fortyOne = forty + "y";
    const QString shortened = ShortenedText(fortyOne);
    EXPECT_EQ(43, shortened.size());
    EXPECT_EQ(fortyOne.left(20) + "..." + fortyOne.right(20), shortened);
}

TEST_F(DialogCommandsTest, QueueRowsShowTheFileNamesOfTheFirstFiveSlots) {
    SchemeQueue queue;
    queue.slots[0].SchemeFile = "/s/Daily.sch";
    queue.slots[1].SchemeFile = "/s/sub/Weekly Photos.sch";
    queue.slots[4].SchemeFile = "Bare.sch";
    queue.slots[5].SchemeFile = "/s/Sixth.sch";
    queue.QueueLast = -1; // rows follow the slots, not the count
    EXPECT_EQ((QStringList{"Daily.sch", "Weekly Photos.sch", "", "", "Bare.sch"}),
              QueueRows(queue));
}
