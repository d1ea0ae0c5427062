#pragma once

#include <QString>

namespace quorvia::test {

// A file system of its own on a folder, as users meet them: a FAT stick
// (an image mounted through FUSE by fusefat), a network share whose server
// refuses permission and time changes (sshfs talking to a local sftp-server
// that denies them), or a tmpfs (root only). Unmounted when it goes; where
// this machine cannot have one, whyNot() says why and the test skips.
class ScratchMount {
public:
    enum Kind { FatStick, RefusingShare, Tmpfs };
    ScratchMount(Kind kind, const QString& folder);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_why; }
    QString folder() const { return m_folder; }
    void unmount();

private:
    bool run(const QString& program, const QStringList& arguments);
    bool waitForMount(bool wanted);
    QString m_folder;
    QString m_why;
    bool m_mounted = false;
    bool m_fuse = false;
};

} // namespace quorvia::test
