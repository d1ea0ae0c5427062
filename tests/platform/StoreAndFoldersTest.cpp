#include "platform/InstanceName.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "platform/Trash.h"

#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvia::platform;
using quorvia::test::TempTree;

TEST(SettingsStoreTest, KeysMapToPerUserFilesAndValuesRoundTrip) {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString key = "Software\\Plimsow\\Quorvia";
    EXPECT_EQ(config + "/Plimsow/Quorvia.conf", storeLocation(key));
    EXPECT_EQ(config + "/Microsoft/Internet Mail and News/Mail.conf",
              storeLocation("Software\\Microsoft\\Internet Mail and News\\Mail"));

    EXPECT_FALSE(readValue(key, "SchemeDir").has_value());
    ASSERT_EQ(0, writeValue(key, "SchemeDir", "/home/ann/a, b/"));
    ASSERT_EQ(0, writeValue(key, "Odd", "x=1;[y]\\z"));
    EXPECT_EQ("/home/ann/a, b/", readValue(key, "SchemeDir").value_or("?"));
    EXPECT_EQ("x=1;[y]\\z", readValue(key, "Odd").value_or("?"));
    EXPECT_TRUE(QFile::exists(storeLocation(key)));
}

TEST(SettingsStoreTest, HandEditedValuesReadAsWritten) {
    const QString file = storeLocation("Software\\Plimsow\\Quorvia");
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nSMTP=mail.example.org, backup\nCheckPrior=true\n");
    f.close();
    EXPECT_EQ("mail.example.org, backup", readValue("Software\\Plimsow\\Quorvia", "SMTP").value());
    EXPECT_EQ("true", readValue("Software\\Plimsow\\Quorvia", "CheckPrior").value());
}

TEST(SettingsStoreTest, AnUnwritableStoreReportsTheFailedWrite) {
    const QString file = storeLocation("Software\\Plimsow\\Quorvia");
    QDir().mkpath(file); // a folder where the file should be
    EXPECT_NE(0, writeValue("Software\\Plimsow\\Quorvia", "SoundOn", "True"));
}

TEST(SettingsStoreTest, ValuesComeOnlyFromTheProgramsOwnKey) {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // What QSettings would fall back on: the organisation's file and the system's folders.
    QDir().mkpath(config);
    QFile organisation(config + "/Plimsow.conf");
    ASSERT_TRUE(organisation.open(QIODevice::WriteOnly));
    organisation.write("[General]\nSoundOn=False\nSMTP=smtp.example.org\n");
    organisation.close();
    EXPECT_FALSE(readValue("Software\\Plimsow\\Quorvia", "SoundOn").has_value());
    EXPECT_FALSE(readValue("Software\\Plimsow\\Quorvia", "SMTP").has_value());
}

TEST(ProgramFolderTest, MarkedPortableFolderElsePerUserData) {
    TempTree t;
    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + "/Quorvia/";
    EXPECT_EQ(data, programFolderFor(t.path())) << "a writable folder alone is no portable install";
    t.write(kPortableMarker, "");
    EXPECT_EQ(t.path() + "/", programFolderFor(t.path()));
    const QString fallback = programFolderFor("/nonexistent/folder");
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_HOME") + "/Quorvia/", fallback);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
}

TEST(TrashTest, MovesAFileToTheUsersTrash) {
    const QString home = qEnvironmentVariable("XDG_DATA_HOME") + "/home";
    QDir().mkpath(home);
    TempTree t;
    const QString file = t.write("Daily.sch", "data");
    QString reason;
    if (moveToTrash(file, reason) != 0)
        GTEST_SKIP() << "no trash on this file system: " << reason.toStdString();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_NE(0, moveToTrash(t.at("missing.sch"), reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST(RuntimeFolderTest, ARunFromCronFindsTheWindowsRuntimeFolder) {
    TempTree tree;
    const QString own = tree.mkdir("run/" + QString::number(getuid()));
    const QByteArray session = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(own, runtimeFolder(tree.at("run")));
    // A folder others may enter is no runtime folder.
    QFile::setPermissions(own, QFile::permissions(own) | QFile::ReadOther | QFile::ExeOther);
    static QStringList warnings;
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings << text; });
    const QString fallback = runtimeFolder(tree.at("run"));
    qInstallMessageHandler(before);
    EXPECT_NE(own, fallback);
    EXPECT_EQ(QFileInfo(fallback).ownerId(), getuid());
    EXPECT_EQ(QFile::permissions(fallback) & 0x0077, 0); // nothing for group or others
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('|').toStdString(); // nothing on stderr
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(tree.mkdir("session"), ownerOnly);
    QFile::setPermissions(own, ownerOnly);
    qputenv("XDG_RUNTIME_DIR", tree.at("session").toUtf8());
    EXPECT_EQ(tree.at("session"), runtimeFolder(tree.at("run")));
    if (session.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", session);
}
