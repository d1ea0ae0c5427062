#include "ui/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvia;

TEST(SingleInstanceTest, NameFollowsTheExecutablesFileName) {
    EXPECT_EQ("quorvia", SingleInstance::nameFor("/usr/bin/quorvia"));
    EXPECT_EQ("Quorvia", SingleInstance::nameFor("/opt/QUORVIA.EXE"));
    EXPECT_EQ("Backup-tool", SingleInstance::nameFor("/home/a/Backup-Tool"));
}

TEST(SingleInstanceTest, ASecondCopyRaisesTheFirstAndStops) {
    SingleInstance first("Quorviatest");
    ASSERT_TRUE(first.claim());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    SingleInstance second("Quorviatest");
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(raised.count() > 0 || raised.wait(2000));

    // Another executable name is another program.
    SingleInstance other("Quorviaother");
    EXPECT_TRUE(other.claim());
}

TEST(SingleInstanceTest, ALockLeftByACrashedCopyIsTakenOver) {
    SingleInstance probe("Quorviacrash");
    QFile stale(probe.lockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    // What a copy that died would leave: its process number, name and host.
    stale.write("999999\nquorvia\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance next("Quorviacrash");
    EXPECT_TRUE(next.claim());
}
