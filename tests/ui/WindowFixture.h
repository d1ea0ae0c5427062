#pragma once

#include "ScriptedPort.h"
#include "TempTree.h"
#include "schemes/SchemeFile.h"
#include "ui/Browse.h"
#include "ui/CopyFrm.h"
#include "ui/Main.h"
#include "ui/Temp.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvia::test {

// The real main window and its run windows, offscreen, with scripted questions.
struct WindowFixture : ::testing::Test {
    TempTree tree;
    AppState state;
    ScriptedDialogs dialogs;
    TForm1 form1{state, dialogs};
    TForm2 browser{state, form1.port(), &form1};
    TForm3 workList{state, &form1};
    TForm4 progress{&form1};

    WindowFixture() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        form1.setWindows(&browser, &workList, &progress);
        state.ProgramFolder = tree.mkdir("program") + "/";
    }

    template <typename T = QWidget> T* find(const char* name) const {
        T* widget = form1.findChild<T*>(name);
        EXPECT_NE(nullptr, widget) << name;
        return widget;
    }
    QAbstractButton* button(const char* name) const { return find<QAbstractButton>(name); }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QListWidget* list() const { return find<QListWidget>("SchemeList"); }
    QString label(const char* name) const { return find<QLabel>(name)->text(); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // The start-up step as the window runs it, on a first start answered Yes.
    void startUp() {
        form1.show();
        dialogs.script({Answer::yes()});
        form1.startTimers();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form1.Timer1().isActive(); }, 2000));
        dialogs.events.clear();
        Settings& s = state.settings;
        s.SoundOn = false;
        s.CheckPrior = false;
    }

    // A saved scheme from src/<name> (holding `files` small files) to dst/<name>.
    QString addScheme(const QString& name, int files = 1) {
        for (int i = 0; i < files; ++i)
            tree.write("src/" + name + "/file" + QString::number(i) + ".txt", name.toUtf8());
        tree.mkdir("dst");
        const QString path = state.settings.SchemeDir + name + ".sch";
        tree.write(
            "program/" + name + ".sch",
            EncodeSchemeFile(NewSchemeLines(tree.at("src/" + name), tree.at("dst/" + name))));
        state.schemeList.reread();
        return path;
    }

    // A click on the list item of that name, as the user makes it.
    void select(const QString& name) {
        const auto items = list()->findItems(name + ".sch", Qt::MatchFixedString);
        ASSERT_EQ(1, items.size()) << name.toStdString();
        const QRect at = list()->visualItemRect(items[0]);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at.center());
    }
};

} // namespace quorvia::test
