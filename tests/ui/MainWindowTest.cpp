#include "WindowFixture.h"

#include "app/SettingsLoader.h"
#include "commands/RunTexts.h"
#include "commands/SpaceReports.h"
#include "platform/SettingsStore.h"
#include "ui/DirectoryList.h"
#include "ui/Help.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QTimer>

using namespace quorvia;
using namespace quorvia::test;

namespace {

using MainWindowTest = WindowFixture;

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({".quorvia.*"}, QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST_F(MainWindowTest, EveryControlIsFoundByItsNameAndHint) {
    for (const char* name :
         {"SchemeList", "Button1",  "Button951", "Edit1",   "Edit2",    "Button9", "Button5",
          "Button10",   "Button6",  "Label1",    "Label2",  "Label3",   "Label4",  "Label5",
          "Label7",     "Label8",   "Label9",    "Label10", "Label11",  "Label12", "Label13",
          "Label14",    "Label15",  "Label17",   "Label18", "Label19",  "Label20", "Button952",
          "Button2",    "btnAbout", "Button3",   "Button8", "Button11", "Button4", "Button7"})
        find(name);
    EXPECT_EQ(QSize(549, 272), form1.size());
    EXPECT_EQ("Add Current Settings as a Scheme To List", button("Button1")->toolTip());
    EXPECT_EQ("Add Current Settings as a Scheme To List",
              button("Button1")->accessibleDescription());
    EXPECT_EQ("Synch (Go)", button("Button4")->accessibleName());
    EXPECT_FALSE(button("Button952")->isVisible());
    EXPECT_FALSE(button("Button8")->isEnabled());
    EXPECT_EQ(150, TForm1::helpContextOf(list()));
    EXPECT_EQ(125, TForm1::helpContextOf(edit("Edit2")));
}

TEST_F(MainWindowTest, OneRunFromAnEmptyStartThroughTheWindows) {
    startUp();
    EXPECT_EQ(state.ProgramFolder, state.settings.SchemeDir);
    tree.write("src/a.txt", "alpha");
    tree.write("src/sub/b.txt", "beta");
    QTest::keyClicks(edit("Edit1"), tree.at("src"));
    QTest::keyClicks(edit("Edit2"), tree.at("dst"));

    // ADD asks to create the missing destination, then for the name.
    dialogs.script({Answer::yes(), Answer::typed("daily backup")});
    click("Button1");
    ASSERT_EQ(QStringList{"Daily Backup.sch"}, state.schemeList.items());
    EXPECT_EQ(0, list()->currentRow());

    click("Button4"); // "&Synch (Go)"
    EXPECT_EQ("alpha", TempTree::read(tree.at("dst/a.txt")));
    EXPECT_EQ("beta", TempTree::read(tree.at("dst/sub/b.txt")));
    EXPECT_EQ("2", label("Label20"));
    EXPECT_EQ("1", label("Label8"));
    EXPECT_EQ("0", label("Label13"));
    EXPECT_EQ("0", label("Label17"));
    EXPECT_EQ("0", label("Label19"));
    EXPECT_EQ("Quorvia", form1.windowTitle());
    EXPECT_FALSE(button("Button952")->isVisible());
    EXPECT_TRUE(button("Button8")->isEnabled());
    const QStringList lines =
        DecodeSchemeLines(TempTree::read(state.settings.SchemeDir + "Daily Backup.sch"), 9);
    ASSERT_EQ(9, lines.size());
    EXPECT_EQ("2", lines[8]);
    EXPECT_EQ(label("Label11"), lines[6]);
    // The size follows the file count.
    EXPECT_EQ(find("Label20")->geometry().right() + 1 + 7, find("Label11")->x());
}

TEST_F(MainWindowTest, RunStatisticsThatCannotBeWrittenAreReported) {
    startUp();
    addScheme("A");
    const QString store = platform::storeLocation(kQuorviaKey);
    QFile::remove(store);
    QDir().mkpath(store); // a folder where the settings file belongs
    select("A");
    click("Button4");
    EXPECT_TRUE(TempTree::exists(tree.at("dst/A/file0.txt")));
    EXPECT_EQ(QStringList{"Run Statistics Could Not Be Saved.\nFile: " + store}, dialogs.boxes());
    EXPECT_FALSE(state.flags.Busy);
}

TEST_F(MainWindowTest, ThreeQueuedSchemesRunInOrderInOneBatch) {
    startUp();
    for (const char* name : {"A", "B", "C"})
        addScheme(name);
    QStringList seen;
    bool queued = false;
    dialogs.onPump = [&] {
        if (!queued) {
            queued = true;
            select("B");
            click("Button4");
            select("C");
            click("Button4");
        }
        const QString step = label("Label17") + "/" + label("Label19") + " " + form1.windowTitle();
        if (seen.isEmpty() || seen.last() != step)
            seen << step;
    };
    select("A");
    click("Button4");
    dialogs.onPump = nullptr;
    for (const char* name : {"A", "B", "C"})
        EXPECT_TRUE(TempTree::exists(tree.at(QString("dst/") + name + "/file0.txt"))) << name;
    // The caption counts the schemes left, the ordinal the one at work.
    EXPECT_TRUE(seen.contains("1/3 Quorvia (A) - 3")) << seen.join(" | ").toStdString();
    EXPECT_TRUE(seen.contains("3/3 Quorvia (A) - 1")) << seen.join(" | ").toStdString();
    QStringList ordinals;
    for (const QString& step : seen)
        if (ordinals.isEmpty() || ordinals.last() != step.left(1))
            ordinals << step.left(1);
    EXPECT_EQ((QStringList{"1", "2", "3"}), ordinals);
    EXPECT_EQ("Quorvia", form1.windowTitle());
}

TEST_F(MainWindowTest, AbortDuringALargeCopyKeepsTheOldCopy) {
    startUp();
    tree.write("src/big.bin", QByteArray(48 << 20, 'n'));
    tree.write("dst/big.bin", "old copy");
    TempTree::setMtime(tree.at("dst/big.bin"), 1000000000);
    tree.write("program/Big.sch", EncodeSchemeFile(NewSchemeLines(tree.at("src"), tree.at("dst"))));
    state.schemeList.reread();
    int pumps = 0;
    dialogs.onPump = [&] {
        if (++pumps == 3) {
            ASSERT_TRUE(button("Button952")->isVisible());
            click("Button952");
        }
    };
    select("Big");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_EQ("old copy", TempTree::read(tree.at("dst/big.bin")));
    EXPECT_TRUE(leftovers(tree.at("dst")).isEmpty());
    EXPECT_TRUE(dialogs.boxes().join("\n").contains("Quorvia Was Aborted During Synch Process"));
    EXPECT_TRUE(label("Label10").endsWith("(Aborted)"));
    EXPECT_FALSE(state.flags.Busy);
    EXPECT_EQ("Quorvia", form1.windowTitle());
}

TEST_F(MainWindowTest, ClosingWhileBusyAsksAndNoKeepsTheRunGoing) {
    startUp();
    addScheme("Long", 40);
    bool asked = false;
    dialogs.onPump = [&] {
        if (!asked) {
            asked = true;
            dialogs.script({Answer::no()});
            EXPECT_FALSE(form1.close());
        }
    };
    select("Long");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_TRUE(dialogs.dialogue().contains("confirm:Action In Process, Quit Anyway"));
    EXPECT_EQ("40", label("Label20"));
    EXPECT_TRUE(form1.isVisible());
    // Idle, the window closes without a question.
    EXPECT_TRUE(form1.close());
}

TEST_F(MainWindowTest, ClosingWhileBusyWithYesStopsTheRun) {
    startUp();
    addScheme("Long", 40);
    bool asked = false;
    dialogs.onPump = [&] {
        if (!asked) {
            asked = true;
            dialogs.script({Answer::yes()});
            EXPECT_TRUE(form1.close());
        }
    };
    select("Long");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_LT(label("Label20").toInt(), 40);
    EXPECT_FALSE(state.flags.Busy);
}

TEST_F(MainWindowTest, PopupMenusEnableByTheSelectionAndTheRun) {
    startUp();
    addScheme("A");
    auto item = [&](QMenu* menu, const char* name) {
        QAction* action = menu->findChild<QAction*>(name);
        EXPECT_NE(nullptr, action) << name;
        return action ? action->isEnabled() : false;
    };
    form1.PopupMenu1Popup();
    EXPECT_FALSE(item(form1.PopupMenu1(), "AddSchemeToQueue1"));
    EXPECT_FALSE(item(form1.PopupMenu1(), "DeleteScheme4"));
    form1.PopupMenu2Popup();
    EXPECT_FALSE(item(form1.PopupMenu2(), "Quit1"));
    EXPECT_FALSE(item(form1.PopupMenu2(), "ShowWork2"));
    EXPECT_FALSE(item(form1.PopupMenu2(), "AddScheme1"));

    select("A");
    form1.PopupMenu1Popup();
    EXPECT_TRUE(item(form1.PopupMenu1(), "AddSchemeToQueue1"));
    EXPECT_TRUE(item(form1.PopupMenu1(), "DeleteScheme4"));
    bool abortEnabled = false;
    dialogs.onPump = [&] {
        form1.PopupMenu2Popup();
        abortEnabled = abortEnabled || item(form1.PopupMenu2(), "Quit1");
    };
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_TRUE(abortEnabled);
    form1.PopupMenu2Popup();
    EXPECT_FALSE(item(form1.PopupMenu2(), "Quit1"));
    EXPECT_TRUE(item(form1.PopupMenu2(), "ShowWork2")) << "follows Show Work";
}

TEST_F(MainWindowTest, AbortProcessInTheWindowMenuStopsTheRun) {
    startUp();
    addScheme("Long", 40);
    bool aborted = false;
    dialogs.onPump = [&] {
        if (!aborted) {
            aborted = true;
            form1.PopupMenu2()->findChild<QAction*>("Quit1")->trigger();
        }
    };
    select("Long");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_LT(label("Label20").toInt(), 40);
}

TEST_F(MainWindowTest, TypingInAFolderBoxClearsTheSelectionAndTheRecord) {
    startUp();
    addScheme("A");
    select("A");
    EXPECT_EQ(tree.at("src/A"), edit("Edit1")->text());
    EXPECT_EQ(0, list()->currentRow());
    QTest::keyClick(edit("Edit1"), Qt::Key_X);
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_FALSE(state.schemeList.SchemeSelected());
    EXPECT_EQ("Never", label("Label5"));
    EXPECT_EQ(tree.at("src/A") + "x", edit("Edit1")->text());
}

TEST_F(MainWindowTest, NeitherFocusNorARightClickInTheListReplacesTypedFolders) {
    startUp();
    addScheme("A");
    addScheme("B");
    form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form1));
    edit("Edit1")->setText("/typed/one");
    edit("Edit2")->setText("/typed/two");
    list()->setFocus(Qt::BacktabFocusReason);
    ASSERT_TRUE(list()->hasFocus());
    // A right click on an item; its menu is left with Esc.
    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            menuShown = true;
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
    // The press, then the menu request the window system sends with it.
    const QPoint at = list()->visualItemRect(list()->item(1)).center();
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &request);
    EXPECT_TRUE(menuShown);
    EXPECT_FALSE(form1.PopupMenu1()->findChild<QAction*>("AddSchemeToQueue1")->isEnabled());
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_FALSE(state.schemeList.SchemeSelected());
    EXPECT_EQ("/typed/one", edit("Edit1")->text());
    EXPECT_EQ("/typed/two", edit("Edit2")->text());
    // The user's own choice still loads.
    select("B");
    EXPECT_EQ(tree.at("src/B"), edit("Edit1")->text());
}

TEST_F(MainWindowTest, EnterAndDeleteInTheList) {
    startUp();
    state.settings.ConfirmDel = false;
    state.settings.Recycle = false;
    addScheme("A");
    addScheme("B");
    select("A");
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_TRUE(TempTree::exists(tree.at("dst/A/file0.txt")));
    select("B");
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(QStringList{"A.sch"}, state.schemeList.items());
    EXPECT_EQ(1, list()->count());
}

TEST_F(MainWindowTest, TheBrowserFillsOnlyTheBoxItWasOpenedFor) {
    startUp();
    const QString one = tree.mkdir("one");
    const QString two = tree.mkdir("two/deeper");
    edit("Edit1")->setText(one);
    edit("Edit2")->setText(tree.at("two"));
    click("Button6");
    ASSERT_TRUE(browser.isVisible());
    EXPECT_EQ("Select Folder 2", browser.windowTitle());
    EXPECT_EQ(tree.at("two"), browser.chosenFolder());
    browser.folderList()->setDirectory(two);
    QTest::mouseClick(browser.findChild<QAbstractButton*>("Button1"), Qt::LeftButton);
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(two, edit("Edit2")->text());
    EXPECT_EQ(one, edit("Edit1")->text());

    // Cancel leaves the boxes as they are.
    click("Button5");
    EXPECT_EQ("Select Folder 1", browser.windowTitle());
    browser.folderList()->setDirectory(two);
    QTest::keyClick(&browser, Qt::Key_Escape);
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(one, edit("Edit1")->text());
}

TEST_F(MainWindowTest, BrowserFreeSpaceNamesTheFolderChosenInTheList) {
    startUp();
    const QString folder = tree.mkdir("pick/here");
    click("Button5");
    browser.folderList()->setDirectory(folder);
    QTest::mouseClick(browser.findChild<QAbstractButton*>("Button3"), Qt::LeftButton);
    const QStringList boxes = dialogs.boxes();
    ASSERT_EQ(1, boxes.size());
    EXPECT_TRUE(boxes[0].startsWith("Searched: " + FolderDisplayText(folder) + "\n\nFound "))
        << boxes[0].toStdString();
}

TEST_F(MainWindowTest, WorkListShowsTheCountersAndAbortFlag) {
    state.run.FolderCount = 2;
    state.run.FilesCopied = 7;
    state.flags.AbortRequested = true;
    form1.showWorkList({"FOLDER -> /x/", "/x/a", "(ABORTED)"});
    ASSERT_TRUE(workList.isVisible());
    auto value = [&](const char* name) { return workList.findChild<QLabel*>(name)->text(); };
    EXPECT_EQ("7 (Aborted)", value("Label2")) << "the files the run found are those it copied";
    EXPECT_EQ("2 (Aborted)", value("Label4"));
    EXPECT_EQ("0 (Aborted)", value("Label6"));
    EXPECT_EQ("7 (Aborted)", value("Label8"));
    auto* lines = workList.findChild<QListWidget*>("ListBox1");
    EXPECT_EQ("(ABORTED)", lines->item(lines->count() - 1)->text());
    workList.hide();
    state.flags.AbortRequested = false;
    workList.show();
    EXPECT_EQ("7", value("Label8"));
}

TEST_F(MainWindowTest, EnterEscAndTheCloseBoxOfTheProgressWindowAbort) {
    for (int way = 0; way < 3; ++way) {
        state.flags.AbortRequested = false;
        form1.showCheckingWindow();
        ASSERT_TRUE(progress.isVisible());
        EXPECT_EQ("Quorvia - Checking", progress.windowTitle());
        EXPECT_TRUE(progress.animating());
        if (way == 0)
            QTest::keyClick(&progress, Qt::Key_Return);
        else if (way == 1)
            QTest::keyClick(&progress, Qt::Key_Escape);
        else
            progress.close();
        EXPECT_TRUE(state.flags.AbortRequested) << way;
        EXPECT_FALSE(progress.isVisible()) << way;
    }
}

TEST_F(MainWindowTest, HelpOpensAtTheFocusedControlsContextOrSaysWhatIsMissing) {
    startUp();
    QUrl opened;
    openHelpUrl = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    tree.write("program/Quorvia.html", "<html></html>");
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_F1);
    EXPECT_EQ("context-150", opened.fragment());
    EXPECT_EQ(state.settings.SchemeDir + "Quorvia.html", opened.toLocalFile());
    click("Button3");
    EXPECT_TRUE(opened.fragment().isEmpty()) << "the contents page";

    QFile::remove(state.settings.SchemeDir + "Quorvia.html");
    opened.clear();
    state.settings.SchemeDir = tree.mkdir("empty") + "/";
    click("Button3");
    openHelpUrl = nullptr;
    if (!opened.isEmpty())
        GTEST_SKIP() << "a help file is installed beside the test";
    ASSERT_EQ(1, dialogs.boxes().size());
    EXPECT_TRUE(dialogs.boxes()[0].contains(state.settings.SchemeDir + "Quorvia.html"));
}

TEST_F(MainWindowTest, WindowsOfLaterVersionsSaySoPlainly) {
    startUp();
    click("btnAbout");
    click("Button11");
    click("Button951");
    EXPECT_EQ(3, dialogs.boxes().size());
    for (const QString& box : dialogs.boxes())
        EXPECT_TRUE(box.contains("not available")) << box.toStdString();
}

TEST_F(MainWindowTest, AQueueOfZipSchemesAsksForItsPasswordOnce) {
    startUp();
    state.settings.ZipArchiveFlag = true;
    state.settings.ZipPassword = true;
    form1.ZipMaster1().SetDLLDirectory(ZIPDLL_DIR);
    for (const char* name : {"A", "B"}) {
        addScheme(name, 3);
        tree.mkdir(QString("dst/") + name);
    }
    bool queued = false;
    dialogs.onPump = [&] {
        if (!queued) {
            queued = true;
            select("B");
            click("Button4");
        }
    };
    dialogs.script({Answer::typed("pw"), Answer::typed("pw")});
    select("A");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_TRUE(dialogs.answers.empty());
    EXPECT_EQ(dialogs.dialogue().filter("prompt").size(), 2)
        << dialogs.dialogue().join('|').toStdString();
    for (const char* name : {"A", "B"})
        EXPECT_TRUE(TempTree::exists(tree.at(QString("dst/") + name + "/" + name + ".zip")))
            << name << dialogs.dialogue().join('|').toStdString();
}

TEST_F(MainWindowTest, TheAbortButtonCancelsAZipInProgress) {
    startUp();
    state.settings.ZipArchiveFlag = true;
    form1.ZipMaster1().SetDLLDirectory(ZIPDLL_DIR);
    for (int i = 0; i < 4; ++i)
        tree.write("src/Big/part" + QString::number(i) + ".bin",
                   QByteArray(8 << 20, char('a' + i)));
    tree.write("program/Big.sch",
               EncodeSchemeFile(NewSchemeLines(tree.at("src/Big"), tree.at("dst"))));
    tree.mkdir("dst");
    state.schemeList.reread();
    bool pressed = false;
    dialogs.onPump = [&] {
        if (!pressed && form1.ZipMaster1().AddBusy()) {
            pressed = true;
            click("Button952");
            EXPECT_TRUE(form1.ZipMaster1().CancelRequested());
        }
    };
    select("Big");
    click("Button4");
    dialogs.onPump = nullptr;
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(TempTree::exists(tree.at("dst/Big.zip")));
    EXPECT_EQ("File(s) Zipped:", label("Label4"));
    EXPECT_EQ("Quorvia", form1.windowTitle());
}
