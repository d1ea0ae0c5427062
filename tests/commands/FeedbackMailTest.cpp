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

// The dialog's tests see a fresh installation's zeros; a damaged total reads as 0 too.
TEST_F(FeedbackMailTest, ADamagedTotalReadsAsZero) {
    ASSERT_TRUE(WriteSetting(kQuorviaKey, "TotalTransferred", "lots"));
    EXPECT_EQ(InformationBlock(anna(true))[7], "TotalTransferred: 0.00 Bytes");
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
