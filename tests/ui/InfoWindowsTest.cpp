#include "DialogFixture.h"

#include "app/SettingsLoader.h"
#include "platform/SettingsStore.h"
#include "ui/Animation.h"
#include "ui/Help.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

using namespace quorvia;
using namespace quorvia::test;

namespace {

struct InfoWindowsTest : DialogFixture {
    ~InfoWindowsTest() override { openHelpUrl = nullptr; }
    QString row(const char* name) const { return text(stats, name); }
    QStringList queueRows() const {
        return {row("Label34"), row("Label35"), row("Label36"), row("Label37"), row("Label38")};
    }
};

} // namespace

TEST_F(InfoWindowsTest, StatsBeforeAnyRun) {
    startUp();
    click(form1, "Button951");
    ASSERT_TRUE(stats.isVisible());
    EXPECT_EQ(QSize(545, 409), stats.size());
    EXPECT_EQ("Stats", stats.windowTitle());
    for (const char* zero :
         {"Label9", "Label25", "Label26", "Label28", "Label11", "Label12", "Label48", "Label14"})
        EXPECT_EQ("0", row(zero)) << zero;
    EXPECT_EQ("0.00 Bytes", row("Label24"));
    EXPECT_EQ("0.00 Bytes", row("Label30"));
    EXPECT_EQ("Never", row("Label7"));
    EXPECT_EQ("My Scheme", row("Label8"));
    EXPECT_EQ("v1.10", row("Label18"));
    EXPECT_EQ("10/04/98", row("Label20"));
    EXPECT_TRUE(in<QLabel>(stats, "Label18")->font().bold());
    EXPECT_EQ("5", row("Label33"));
    EXPECT_EQ((QStringList{"", "", "", "", ""}), queueRows());
    EXPECT_FALSE(enabled(stats, "Button2")) << "Reset is never available";
    EXPECT_EQ("quorvia@plimsow.example", row("Label46"));
    EXPECT_EQ(145, HelpContextOf(in(stats, "Button1")));
}

TEST_F(InfoWindowsTest, StatsAfterTwoRunsAndOnlyWhenShownAgain) {
    startUp();
    addScheme("Alpha", 2);
    addScheme("Beta", 3);
    run("Alpha");
    click(form1, "Button951");
    EXPECT_EQ("1", row("Label9"));
    EXPECT_EQ("Alpha", row("Label8"));
    run("Beta");
    EXPECT_EQ("1", row("Label9")) << "the open dialog keeps what it read";
    click(stats, "Button1");
    EXPECT_FALSE(stats.isVisible());
    click(form1, "Button951");
    EXPECT_EQ("2", row("Label9"));
    EXPECT_EQ("Beta", row("Label8"));
    EXPECT_EQ("5", row("Label25")) << "files of both runs";
    EXPECT_EQ("3", row("Label48"));
    EXPECT_EQ("0", row("Label11")) << "the start folder is not counted";
    EXPECT_EQ("22.00 Bytes", row("Label24")) << "two files of 5 bytes, three of 4";
    EXPECT_EQ("12.00 Bytes", row("Label30"));
    EXPECT_NE("Never", row("Label7"));
    EXPECT_TRUE(row("Label14").startsWith("00:00:0"));
}

TEST_F(InfoWindowsTest, TheSchemeFolderIsShownInItsOwnCaseAndShortenedPast40) {
    startUp();
    const QString forty = "/Media/Ann/" + QString(28, 'B') + "/";
    ASSERT_EQ(40, forty.size());
    state.settings.SchemeDir = forty;
    stats.showDialog();
    EXPECT_EQ(forty, row("Label16"));
    EXPECT_EQ(forty, in(stats, "Label16")->toolTip());
    stats.hide();
    const QString fortyOne = forty + "C";
    state.settings.SchemeDir = fortyOne;
    stats.showDialog();
    EXPECT_EQ(fortyOne.left(20) + "..." + fortyOne.right(20), row("Label16"));
}

TEST_F(InfoWindowsTest, TheQueueRowsFollowARunningBatchAndEmptyAfterIt) {
    startUp();
    for (const char* name : {"A", "B", "C"})
        addScheme(name, 3);
    click(form1, "Button951");
    QList<QStringList> seen;
    bool queued = false;
    dialogs.onPump = [&] {
        if (!queued) {
            queued = true;
            run("B");
            run("C");
        }
        const QStringList rows = queueRows();
        if (seen.isEmpty() || seen.last() != rows)
            seen << rows;
    };
    run("A");
    dialogs.onPump = nullptr;
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(seen.contains(QStringList{"A.sch", "B.sch", "C.sch", "", ""}));
    EXPECT_TRUE(seen.contains(QStringList{"B.sch", "C.sch", "", "", ""}));
    EXPECT_TRUE(seen.contains(QStringList{"C.sch", "", "", "", ""}));
    EXPECT_EQ((QStringList{"", "", "", "", ""}), queueRows()) << "empty after the batch";
}

TEST_F(InfoWindowsTest, WhatsNewOpensTheVersionNotesOrSaysTheyAreMissing) {
    startUp();
    QList<QUrl> opened;
    openHelpUrl = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    const QString notes = QDir(QCoreApplication::applicationDirPath()).filePath("Version.txt");
    ASSERT_FALSE(QFile::exists(notes)) << "no notes beside the test program";
    stats.showDialog();
    click(stats, "Button3");
    ASSERT_EQ(1, dialogs.boxes().size());
    EXPECT_TRUE(dialogs.boxes()[0].startsWith(
        "NEW/FIXED IN VERSION 1.10\nSee Version.txt file for more details.\n\n"));
    EXPECT_TRUE(dialogs.boxes()[0].contains("Version.txt is missing"));
    EXPECT_TRUE(dialogs.boxes()[0].contains(notes));
    EXPECT_TRUE(opened.isEmpty());

    dialogs.events.clear();
    {
        QFile file(notes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Quorvia v1.10\n");
    }
    click(stats, "Button3");
    QFile::remove(notes);
    EXPECT_EQ(QStringList{"information:NEW/FIXED IN VERSION 1.10\nSee Version.txt file for more "
                          "details.\n\n"},
              dialogs.dialogue());
    ASSERT_EQ(1, opened.size());
    EXPECT_EQ(notes, opened[0].toLocalFile());
}

TEST_F(InfoWindowsTest, TheMailLinksOpenTheSendMailDialog) {
    startUp();
    stats.showDialog();
    QTest::mouseClick(in(stats, "Label46"), Qt::LeftButton);
    EXPECT_TRUE(windows.smtpTestForm.isVisible());
    windows.smtpTestForm.hide();
    about.showAbout();
    QTest::mouseClick(in(about, "Label3"), Qt::LeftButton);
    EXPECT_TRUE(windows.smtpTestForm.isVisible());
    EXPECT_TRUE(about.isVisible()) << "the link leaves the about box open";
    EXPECT_TRUE(dialogs.boxes().isEmpty());
}

TEST_F(InfoWindowsTest, TheSplashComesWithTheStartUpAndClosesFiveSecondsAfterCreation) {
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(about.Timer1().isActive()) << "running from creation";
    EXPECT_EQ(TForm5::kSplashMs, about.Timer1().interval());
    startUp();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ("v1.10", text(about, "Label2"));
    EXPECT_TRUE(about.animation()->isActive());
    EXPECT_TRUE(about.animation()->isPlaying());
    EXPECT_EQ(29, about.animation()->frameCount());
    // Counted from creation, not from showing.
    const int left = about.Timer1().remainingTime();
    const auto expected = TForm5::kSplashMs - sinceCreation.elapsed();
    EXPECT_LE(left, expected + 20);
    EXPECT_GE(left, expected - 200);

    // The same timer, made short, closes it.
    about.Timer1().setInterval(30);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isVisible(); }, 2000));
    EXPECT_FALSE(about.Timer1().isActive());
    EXPECT_FALSE(about.animation()->isPlaying()) << "no ticks while hidden";
    EXPECT_TRUE(about.animation()->isActive());
}

TEST_F(InfoWindowsTest, AboutStaysItsIntervalCountedFromTheLastAbout) {
    startUp();
    about.Timer1().stop();
    about.hide();
    state.settings.SoundOn = true;
    constexpr int interval = 400;
    about.setAboutInterval(interval);
    click(form1, "btnAbout");
    EXPECT_EQ(1, dialogs.beeps());
    ASSERT_TRUE(about.isVisible());
    EXPECT_TRUE(about.animation()->isPlaying());
    QTest::qWait(200);
    click(form1, "btnAbout");
    QElapsedTimer since;
    since.start();
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isVisible(); }, 3000));
    EXPECT_GE(since.elapsed(), interval - 20) << "restarted by the second About";
    EXPECT_EQ(interval, about.Timer1().interval());
    EXPECT_EQ(100, HelpContextOf(in(about, "Button2")));
}

TEST_F(InfoWindowsTest, EnterInTheAboutBoxShowsWhatsNewEscDoesNotCloseIt) {
    startUp();
    openHelpUrl = [](const QUrl&) { return true; };
    about.showAbout();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_TRUE(about.isVisible());
    QTest::keyClick(&about, Qt::Key_Return);
    ASSERT_EQ(1, dialogs.boxes().size());
    EXPECT_TRUE(dialogs.boxes()[0].startsWith("NEW/FIXED IN VERSION 1.10"));
}

TEST_F(InfoWindowsTest, F1InADialogOpensItsControlsTopic) {
    startUp();
    QUrl opened;
    openHelpUrl = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    tree.write("program/Quorvia.html", "<html></html>");
    config.showDialog();
    // The offscreen platform does not move activation by itself.
    QApplication::setActiveWindow(&config);
    QWidget* box = in(config, "CheckBox959");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_F1);
    EXPECT_EQ("context-210", opened.fragment());
}
