#include "app/IntegerText.h"
#include "app/SettingsLoader.h"

#include "ScriptedPort.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::ScriptedPort;

namespace {

QString stored(const QString& name) {
    return platform::readValue(kQuorviaKey, name).value_or("<absent>");
}

} // namespace

TEST(IntegerTextTest, TheFrameworksRuleForIntegers) {
    const std::pair<const char*, int32_t> good[] = {
        {"5", 5},
        {"   5", 5},
        {"$5", 5},
        {"+7", 7},
        {"-1", -1},
        {"$ff", 255},
        {"$FF", 255},
        {"-$10", -16},
        {"007", 7},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()}};
    for (const auto& [text, value] : good) {
        const auto read = StrToInt(text);
        ASSERT_TRUE(read.has_value()) << text;
        EXPECT_EQ(value, *read) << text;
    }
    for (const char* bad : {"", " ", "5 ", "abc", "5a", "$", "-", "+-1", "1.0", "1,000", "0x5",
                            "\t5", "2147483648", "-2147483649", "$100000000", "$g"})
        EXPECT_FALSE(StrToInt(bad).has_value()) << '"' << bad << '"';
    EXPECT_FALSE(StrToInt(QString::fromUtf8("\xef\xbc\x95")).has_value()) << "full-width 5";
    EXPECT_EQ("'5 ' is not a valid integer value", NotAnIntegerMessage("5 "));
}

TEST(SaveSettingsTest, StoresTheSchemeFolderAndEveryOptionAsText) {
    Settings s;
    s.SchemeDir = "/home/ann/schemes/";
    s.CheckPrior = true;
    s.SoundOn = true;
    s.CopyHidden = true;
    s.ZipArchiveFlag = true;
    s.ZipStoreDir = true;
    s.Zip83Format = true;
    s.ZipCompression = 7;
    ScriptedPort port;
    ASSERT_TRUE(SaveSettings(s, port));
    EXPECT_TRUE(port.dialogue().isEmpty());
    const std::map<QString, QString> expected = {{"SchemeDir", "/home/ann/schemes/"},
                                                 {"CheckPrior", "True"},
                                                 {"ShowWork", "False"},
                                                 {"SoundOn", "True"},
                                                 {"Caps", "False"},
                                                 {"ConfirmDel", "False"},
                                                 {"Recycle", "False"},
                                                 {"CopyOnlyNewer", "False"},
                                                 {"CopyHidden", "True"},
                                                 {"CopySystem", "False"},
                                                 {"ResetArchiveFlag", "False"},
                                                 {"ZipArchiveFlag", "True"},
                                                 {"ZipPassword", "False"},
                                                 {"ZipStoreDir", "True"},
                                                 {"Zip83Format", "True"},
                                                 {"ZipCompression", "7"}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(value, stored(name)) << name.toStdString();
    // Nothing else: the statistics and the names stay as they were.
    EXPECT_EQ("<absent>", stored("LastSchemeName"));
    EXPECT_EQ("<absent>", stored("Version"));
}

TEST(SaveSettingsTest, AFailedWriteIsOneBoxNamingTheValueAndTheFile) {
    const QString file = platform::storeLocation(kQuorviaKey);
    QDir().mkpath(file); // a folder where the settings file belongs
    Settings s;
    s.SoundOn = true;
    ScriptedPort port;
    EXPECT_FALSE(SaveSettings(s, port));
    EXPECT_EQ((QStringList{"beep",
                           "warning:Settings Could Not Be Saved. Value: SchemeDir\nFile: " + file}),
              port.dialogue());
}
