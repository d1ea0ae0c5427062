#include "platform/LocaleText.h"
#include "platform/Clock.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace quorvia::platform;

TEST(LocaleTextTest, NumbersCarryTheLocaleSeparators) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ("1,234,567", formatCount(1234567));
    EXPECT_EQ("0", formatCount(0));
    EXPECT_EQ("1,536.50", formatNumber(1536.5, 2));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ("1.234.567", formatCount(1234567));
    QLocale::setDefault(QLocale::c());
}

TEST(LocaleTextTest, ParseNumberTreatsJunkAsZero) {
    EXPECT_EQ(99.0, parseNumber("99"));
    EXPECT_EQ(99.0, parseNumber(" 99.0 "));
    EXPECT_EQ(0.0, parseNumber(""));
    EXPECT_EQ(0.0, parseNumber("abc"));
}

TEST(LocaleTextTest, LongTimeHasSecondsAndNoZone) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString t = longTime(QTime(13, 5, 9));
    EXPECT_TRUE(t.contains("1:05:09")) << t.toStdString();
    EXPECT_FALSE(t.contains("UTC")) << t.toStdString();
    EXPECT_TRUE(t.endsWith("PM")) << t.toStdString();
    EXPECT_EQ(shortDate(QDate(2024, 3, 5)) + " " + t,
              dateTime(QDateTime(QDate(2024, 3, 5), QTime(13, 5, 9))));
    QLocale::setDefault(QLocale::c());
}

TEST(ClockTest, TickCountIsMonotonicMilliseconds) {
    const auto a = tickCount();
    const auto b = tickCount();
    EXPECT_LE(a, b);
    EXPECT_GT(a, 0);
}
