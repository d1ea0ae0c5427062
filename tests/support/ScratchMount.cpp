#include "ScratchMount.h"

#include "platform/Volumes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <sys/mount.h>
#include <unistd.h>

namespace quorvia::test {

namespace {

QString tool(const QString& name) {
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
}

} // namespace

ScratchMount::ScratchMount(Kind kind, const QString& folder) : m_folder(folder) {
    QDir().mkpath(folder);
    if (kind == Tmpfs) {
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64m") == 0)
            m_mounted = true;
        else
            m_why = "mounting a tmpfs needs root";
        return;
    }
    m_fuse = true;
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        m_why = "no usable /dev/fuse here, so no FUSE file system can be mounted";
        return;
    }
    if (kind == FatStick) {
        const QString mkfs = tool("mkfs.vfat"), fusefat = tool("fusefat");
        if (mkfs.isEmpty() || fusefat.isEmpty()) {
            m_why = "mkfs.vfat (dosfstools) or fusefat is not installed";
            return;
        }
        const QString image = folder + ".img";
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(64 << 20)) {
            m_why = "cannot make the image " + image;
            return;
        }
        file.close();
        if (!run(mkfs, {image}) || !run(fusefat, {"-o", "rw+", image, folder}))
            return;
    } else {
        const QString sshfs = tool("sshfs");
        const QString server = "/usr/lib/openssh/sftp-server";
        if (sshfs.isEmpty() || !QFile::exists(server)) {
            m_why = "sshfs or the sftp server (openssh-sftp-server) is not installed";
            return;
        }
        // sshfs speaks SFTP over the pipes of its "ssh" command: the server
        // itself, told to deny setting modes and times, makes a share that
        // refuses them as some NAS servers do, with no SSH daemon at all.
        const QString remote = folder + ".remote", command = folder + ".server";
        QDir().mkpath(remote);
        QFile script(command);
        if (!script.open(QIODevice::WriteOnly) ||
            script.write(("#!/bin/sh\nexec " + server + " -P setstat,fsetstat\n").toUtf8()) < 0)
            return;
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!run(sshfs, {"-o", "ssh_command=" + command, "share:" + remote, folder}))
            return;
    }
    m_mounted = waitForMount(true);
    if (!m_mounted)
        m_why = "the FUSE mount on " + folder + " did not appear";
}

ScratchMount::~ScratchMount() {
    unmount();
}

void ScratchMount::unmount() {
    if (!m_mounted)
        return;
    m_mounted = false;
    if (!m_fuse) {
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
        return;
    }
    QString fusermount = tool("fusermount3");
    if (fusermount.isEmpty())
        fusermount = tool("fusermount");
    if (!run(fusermount, {"-u", m_folder}))
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    waitForMount(false);
}

bool ScratchMount::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    m_why = program + " failed: " + QString::fromLocal8Bit(process.readAll()).trimmed();
    return false;
}

bool ScratchMount::waitForMount(bool wanted) {
    QElapsedTimer timer;
    timer.start();
    while (platform::isMountPoint(QFile::encodeName(m_folder)) != wanted) {
        if (timer.elapsed() > 5000)
            return !wanted;
        QThread::msleep(20);
    }
    return wanted;
}

} // namespace quorvia::test
