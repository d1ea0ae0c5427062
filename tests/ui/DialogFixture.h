#pragma once

#include "ScriptedPort.h"
#include "TempTree.h"
#include "schemes/SchemeFile.h"
#include "ui/Windows.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvia::test {

// All windows of the program, connected as the program connects them,
// offscreen, with scripted questions.
struct DialogFixture : ::testing::Test {
    TempTree tree;
    AppState state;
    ScriptedDialogs dialogs;
    ProgramWindows windows{state, dialogs};
    TForm1& form1 = windows.form1;
    TForm5& about = windows.form5;
    TForm6& config = windows.form6;
    TForm7& stats = windows.form7;
    TForm8& zip = windows.form8;

    QElapsedTimer sinceCreation;

    DialogFixture() {
        sinceCreation.start();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        state.ProgramFolder = tree.mkdir("program") + "/";
    }
    ~DialogFixture() override { QLocale::setDefault(QLocale::c()); }

    // The start-up step on a first start answered Yes; quiet afterwards.
    void startUp() {
        form1.show();
        dialogs.script({Answer::yes()});
        form1.startTimers();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form1.Timer1().isActive(); }, 2000));
        dialogs.events.clear();
        state.settings.SoundOn = false;
        state.settings.CheckPrior = false;
    }

    template <typename T = QWidget> static T* in(const QWidget& window, const char* name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(nullptr, widget) << name;
        return widget;
    }
    static QAbstractButton* button(const QWidget& window, const char* name) {
        return in<QAbstractButton>(window, name);
    }
    static void click(const QWidget& window, const char* name) {
        QTest::mouseClick(button(window, name), Qt::LeftButton);
    }
    static bool checked(const QWidget& window, const char* name) {
        return button(window, name)->isChecked();
    }
    static bool enabled(const QWidget& window, const char* name) {
        return in(window, name)->isEnabled();
    }
    static QString text(const QWidget& window, const char* name) {
        // Break hints in long paths are for the eye only.
        return in<QLabel>(window, name)->text().remove(QChar(0x200B));
    }

    // A saved scheme from src/<name> (holding `files` small files) to dst/<name>.
    void addScheme(const QString& name, int files = 1) {
        for (int i = 0; i < files; ++i)
            tree.write("src/" + name + "/file" + QString::number(i) + ".txt", name.toUtf8());
        tree.mkdir("dst");
        tree.write(
            "program/" + name + ".sch",
            EncodeSchemeFile(NewSchemeLines(tree.at("src/" + name), tree.at("dst/" + name))));
        state.schemeList.reread();
    }
    // Selects the scheme in the main window's list and presses "&Synch (Go)".
    void run(const QString& name) {
        auto* list = in<QListWidget>(form1, "SchemeList");
        const auto items = list->findItems(name + ".sch", Qt::MatchFixedString);
        ASSERT_EQ(1, items.size()) << name.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items[0]).center());
        click(form1, "Button4");
    }
};

} // namespace quorvia::test
