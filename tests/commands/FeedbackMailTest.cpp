// The send-mail dialog's logic without its window, on the real settings store.
#include "commands/FeedbackMail.h"
#include "app/SettingsLoader.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace quorvia;

namespace {

struct FeedbackMailTest : ::testing::Test {
    FeedbackMailTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

InformationBlockInput anna(bool sendData) {
    InformationBlockInput in;
    in.userAddress = "anna@example.org";
    in.fromText = "Anna <anna@example.org>";
    in.senderName = "Anna Schmidt";
    in.sendData = sendData;
    in.schemeDir = "/home/anna/.local/share/Quorvia/";
    in.statistics = ReadFeedbackStatistics();
    return in;
}

} // namespace

TEST_F(FeedbackMailTest, BlockHasSixLinesAndThirteenWithProgramData) {
    const QString stars(50, '*');
    EXPECT_EQ(
        InformationBlock(anna(false)),
        QStringList({stars, "User E-Mail: anna@example.org", "User Name:   Anna <anna@example.org>",
                     "Sender Name: Anna Schmidt", "Quorvia: v1.10 10/04/98", stars}));

    for (const auto& [name, value] : {std::pair{"TimesRun", "12"},
                                      {"TotalTransferred", " 1048576 "},
                                      {"LastRunTime", "00:01:05 (Aborted)"},
                                      {"TotalFileCount", "340"},
                                      {"TotalDirCount", "17"},
                                      {"TotalErrorCount", "2"}})
        ASSERT_TRUE(WriteSetting(kQuorviaKey, name, value));
    const QStringList full = InformationBlock(anna(true));
    ASSERT_EQ(full.size(), 13);
    EXPECT_EQ(full.mid(0, 6), InformationBlock(anna(false)));
    EXPECT_EQ(full.mid(6), QStringList({"TotalRuns: 12", "TotalTransferred: 1.00 Meg",
                                        "LastRunOn: 00:01:05 (Aborted)",
                                        "QuorviaDir: /home/anna/.local/share/Quorvia/",
                                        "TotalFiles: 340", "TotaDirs: 17", "TotalErrs: 2"}));
}

TEST_F(FeedbackMailTest, FreshAndDamagedStatisticsReadAsZero) {
    QStringList fresh = InformationBlock(anna(true)).mid(6);
    fresh.removeAt(3); // the scheme folder
    for (const QString& line : fresh)
        EXPECT_TRUE(line.endsWith(" 0") || line == "TotalTransferred: 0.00 Bytes")
            << line.toStdString();
    EXPECT_EQ(fresh[1], "TotalTransferred: 0.00 Bytes");

    ASSERT_TRUE(WriteSetting(kQuorviaKey, "TotalTransferred", "lots"));
    EXPECT_EQ(InformationBlock(anna(true))[7], "TotalTransferred: 0.00 Bytes");
}

TEST_F(FeedbackMailTest, SettingsAreReadWithPlaceholdersAndStoredTrimmed) {
    const MailSettings none = ReadMailSettings();
    EXPECT_EQ(none.SMTP, "Your SMTP Account");
    EXPECT_EQ(none.UserName, "Your User Name");
    EXPECT_EQ(none.SenderName, "Your Name");
    ASSERT_TRUE(WriteMailSettings("  mail.example.org ", " anna@example.org  "));
    EXPECT_EQ(ReadSetting(kQuorviaKey, "SMTP", {}), "mail.example.org");
    EXPECT_EQ(ReadSetting(kQuorviaKey, "UserName", {}), "anna@example.org");
    EXPECT_EQ(ReadSetting(kQuorviaKey, "SenderName", "(absent)"), "(absent)");
}

TEST_F(FeedbackMailTest, MessageLinesKeepEmptyLinesButAddNone) {
    EXPECT_EQ(MessageLines(""), QStringList());
    EXPECT_EQ(MessageLines("one"), QStringList({"one"}));
    EXPECT_EQ(MessageLines("one\n"), QStringList({"one"}));
    EXPECT_EQ(MessageLines("\n\nthree\n\n"), QStringList({"", "", "three", ""}));
}

TEST_F(FeedbackMailTest, OnlyWhatPlainSmtpCarriesCountsAsAnAddress) {
    EXPECT_EQ(MailAddressOf(" anna@example.org "), "anna@example.org");
    EXPECT_EQ(MailAddressOf(QString::fromUtf8("Jörg Müller < joerg@example.org >")),
              "joerg@example.org");
    EXPECT_EQ(MailAddressOf("\"Smith, Anna\" <anna@example.org>"), "anna@example.org");
    for (const char* notOne :
         {"", "Your User Name", "Your Name", "anna@", "@example.org", "anna@@example.org",
          "an na@example.org", "a@b@c", "Anna <anna", "<anna@example.org",
          "anna@example.org\r\nRCPT TO:<x@y>", "j\xc3\xb6rg@example.org"})
        EXPECT_EQ(MailAddressOf(QString::fromUtf8(notOne)), "") << notOne;
}

TEST_F(FeedbackMailTest, EnvelopeSenderIsAnAddressWheneverOneIsGiven) {
    const QString from = "Anna <anna@example.org>";
    EXPECT_EQ(EnvelopeSender("Your Name", from), "anna@example.org");
    EXPECT_EQ(EnvelopeSender("Anna Schmidt", from), "anna@example.org");
    EXPECT_EQ(EnvelopeSender("", from), "anna@example.org");
    EXPECT_EQ(EnvelopeSender("office@example.org", from), "office@example.org");
    EXPECT_EQ(EnvelopeSender("Office <office@example.org>", from), "office@example.org");
    EXPECT_EQ(EnvelopeSender("Anna Schmidt", "Your User Name"), "");
}

TEST_F(FeedbackMailTest, FailureTextKeepsTheReasonAndExplainsATimeout) {
    const QString refused = MailFailureText("Can't connect to host '127.0.0.1'", 15);
    EXPECT_TRUE(refused.startsWith("Your Mail Was Not Sent.\n\nCan't connect to host '127.0.0.1'"));
    EXPECT_FALSE(refused.contains("Seconds"));
    EXPECT_TRUE(MailFailureText("554 receive timeout", 15)
                    .contains("554 receive timeout\n(The SMTP Host Did Not Answer Within 15 "
                              "Seconds)"));
    EXPECT_TRUE(MailFailureText("", 15).contains("No reason given"));
}
