// Every test binary starts here: a private home for settings, data and the
// runtime folder, and an offscreen application object.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    static QTemporaryDir home; // QSettings reads these once per process: set them first.
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TMPDIR", root.constData(), 0);
    for (const char* d : {"/config", "/data", "/runtime"})
        QDir().mkpath(QString::fromLocal8Bit(root + d));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
