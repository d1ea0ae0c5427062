// Every test binary starts here: a private home for settings, data and the
// runtime folder, and an offscreen application object. Each test case gets a
// fresh settings store and data folder, so cases never see each other's
// values even when the binary runs them all in one process.
#include "TempTree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class FreshStorePerCase : public testing::EmptyTestEventListener {
public:
    explicit FreshStorePerCase(QString root) : m_root(std::move(root)) {}

    void OnTestStart(const testing::TestInfo&) override {
        const QString home = m_root + "/case" + QString::number(++m_count);
        for (const char* d : {"/config", "/data", "/state"})
            QDir().mkpath(home + d);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home + "/config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home + "/config");
        setenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/config").constData(), 1);
        setenv("XDG_DATA_HOME", QFile::encodeName(home + "/data").constData(), 1);
        setenv("XDG_STATE_HOME", QFile::encodeName(home + "/state").constData(), 1);
    }

private:
    QString m_root;
    int m_count = 0;
};

} // namespace

int main(int argc, char** argv) {
    static QTemporaryDir home; // QSettings reads these once per process: set them first.
    if (!home.isValid())
        return 2;
    home.setAutoRemove(false); // removed by bytes below
    const QByteArray root = home.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("XDG_STATE_HOME", (root + "/state").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TMPDIR", root.constData(), 0);
    for (const char* d : {"/config", "/data", "/state", "/runtime"})
        QDir().mkpath(QString::fromLocal8Bit(root + d));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(
        new FreshStorePerCase(home.path() + "/cases"));
    const int result = RUN_ALL_TESTS();
    quorvia::test::TempTree::removeTree(QFile::encodeName(home.path()));
    return result;
}
