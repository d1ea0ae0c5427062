#include "app/Alerts.h"
#include "app/RunFormat.h"

#include "ScriptedPort.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace quorvia;
using quorvia::test::ScriptedPort;

TEST(AlertsTest, ShowAlertBeepsOnceFirstOnlyWithSoundOn) {
    Settings quiet;
    ScriptedPort a;
    ShowAlert(a, quiet, "Hello", AlertKind::Warning);
    EXPECT_EQ(QStringList{"warning:Hello"}, a.dialogue());
    EXPECT_EQ(0, a.events[0].helpContext);

    Settings loud;
    loud.SoundOn = true;
    ScriptedPort b;
    ShowAlert(b, loud, "Note", AlertKind::Information);
    EXPECT_EQ((QStringList{"beep", "information:Note"}), b.dialogue());
}

TEST(AlertsTest, SetBusyOnAndOffRestoresTheIdleWindow) {
    BusyState flags;
    ScriptedPort port;
    SetBusy(flags, port, true);
    EXPECT_TRUE(flags.Busy);
    EXPECT_EQ("Quorvia (A)", port.text(Field::Title));
    EXPECT_EQ(11, port.text(Field::Title).size());
    EXPECT_EQ("Quorvia (A)", port.text(Field::Caption));
    EXPECT_TRUE(port.switches[Field::AbortButton]);
    SetBusy(flags, port, false);
    EXPECT_FALSE(flags.Busy);
    EXPECT_EQ("Quorvia", port.text(Field::Title));
    EXPECT_EQ("Quorvia", port.text(Field::Caption));
    EXPECT_FALSE(port.switches[Field::AbortButton]);
}

TEST(FormatsTest, FormatSizeSteps) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ("0.00 Bytes", FormatSize(0));
    EXPECT_EQ("400.00 Bytes", FormatSize(400));
    EXPECT_EQ("0.39 K", FormatSize(401));
    EXPECT_EQ("1.50 K", FormatSize(1536));
    EXPECT_EQ("1,023.00 K", FormatSize(1023 * 1024.0));
    EXPECT_EQ("1.00 Meg", FormatSize(1048576));
    EXPECT_EQ("1.00 Gig", FormatSize(1073741824));
    EXPECT_EQ("1.00 Tet", FormatSize(1099511627776.0));
    EXPECT_EQ("2,048.00 Tet", FormatSize(2048 * 1099511627776.0)) << "no unit past Tet";
    EXPECT_EQ("6.00 Gig", FormatSize(6442450944.0)) << "64-bit counts";
    QLocale::setDefault(QLocale::c());
}

TEST(FormatsTest, FormatElapsedHoursMinutesSeconds) {
    EXPECT_EQ("00:00:00", FormatElapsed(0, 999));
    EXPECT_EQ("00:01:05", FormatElapsed(1000, 66000));
    EXPECT_EQ("03:02:01", FormatElapsed(0, (3 * 3600 + 2 * 60 + 1) * 1000));
    EXPECT_EQ("00:00:10", FormatElapsed(5, 10005));
    EXPECT_EQ("100:00:00", FormatElapsed(0, 100LL * 3600 * 1000)) << "hours are not cut";
}
