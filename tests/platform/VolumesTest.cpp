#include "platform/Volumes.h"

#include "TempTree.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace quorvia::platform;

TEST(VolumesTest, DriveIsTheMountFolderOrTheFirstFolder) {
    EXPECT_EQ("/media/ann/STICK", driveOf("/media/ann/STICK/backup/x"));
    EXPECT_EQ("/run/media/ann/DISK", driveOf("/run/media/ann/DISK/a"));
    EXPECT_EQ("/mnt/usb", driveOf("/mnt/usb/a/b"));
    EXPECT_EQ("/home", driveOf("/home/ann/docs"));
    EXPECT_EQ("/", driveOf("/"));
    EXPECT_TRUE(driveNeedsMount("/media/ann/STICK"));
    EXPECT_TRUE(driveNeedsMount("/run/media/ann/DISK"));
    EXPECT_TRUE(driveNeedsMount("/mnt/usb"));
    EXPECT_FALSE(driveNeedsMount("/home"));
    EXPECT_FALSE(driveNeedsMount("/"));
}

TEST(VolumesTest, FreeSpaceIsMeasuredAtTheNearestExistingFolder) {
    quorvia::test::TempTree t;
    struct statvfs vfs {};
    ASSERT_EQ(0, statvfs(t.path().toLocal8Bit().constData(), &vfs));
    const auto expected = int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize);
    int64_t got = -1;
    ASSERT_EQ(0, freeSpace(t.at("not/yet/made"), got));
    // Other processes write meanwhile: allow a little drift.
    EXPECT_NEAR(double(expected), double(got), 64.0 * 1024 * 1024);
}

// Whether the kernel lists a file system mounted at this process's "/".
bool rootIsMounted() {
    QFile table("/proc/self/mountinfo");
    if (!table.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : table.readAll().split('\n'))
        if (line.split(' ').value(4) == "/")
            return true;
    return false;
}

TEST(VolumesTest, MountPointsAreTheRootsOfMountedFileSystems) {
    if (!rootIsMounted())
        GTEST_SKIP() << "\"/\" is no mount point here (a plain chroot, or no /proc)";
    quorvia::test::TempTree t;
    EXPECT_TRUE(isMountPoint("/"));
    EXPECT_TRUE(isMountPoint("/proc"));
    const QByteArray folder = QFile::encodeName(t.mkdir("stick"));
    EXPECT_FALSE(isMountPoint(folder)) << "an empty folder left behind is no drive";
    EXPECT_FALSE(isMountPoint(folder + "/missing"));
    if (mount("tmpfs", folder.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting needs root (and a kernel that lets this process mount)";
    EXPECT_TRUE(isMountPoint(folder));
    EXPECT_TRUE(isMountPoint(folder + "/."));
    umount2(folder.constData(), MNT_DETACH);
    EXPECT_FALSE(isMountPoint(folder));
}
