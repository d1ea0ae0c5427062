#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvia;

namespace {

// What the real box looked like when the test answered it.
struct Shown {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString promptLabel, promptText;
};

class DialogsTest : public ::testing::Test {
protected:
    QtDialogs dialogs;
    std::vector<Shown> shown;

    // Answers each box with `answer` (a standard button, or Accepted/Rejected for the prompt).
    void answerWith(int answer, const QString& typed = {}) {
        QtDialogs::answerNextBox = [this, answer, typed](QDialog& box) {
            Shown s;
            s.title = box.windowTitle();
            if (auto* m = qobject_cast<QMessageBox*>(&box)) {
                s.text = m->text();
                s.icon = m->icon();
                s.buttons = m->standardButtons();
            } else if (auto* p = qobject_cast<QInputDialog*>(&box)) {
                s.promptLabel = p->labelText();
                s.promptText = p->textValue();
                if (!typed.isNull())
                    p->setTextValue(typed);
            }
            shown.push_back(s);
            return answer;
        };
    }
    void TearDown() override { QtDialogs::answerNextBox = nullptr; }
};

} // namespace

TEST_F(DialogsTest, BoxesCarryTheTitlesOfTheirKindsAndTheProgramsNameWhateverTheMainTitle) {
    answerWith(QMessageBox::Ok);
    dialogs.messageBox(AlertKind::Warning, "Disk full", 0);
    dialogs.messageBox(AlertKind::Information, "Done", 0);
    dialogs.plainBox("Error Deleting /s/x.sch", {});
    dialogs.plainBox("Note", "Own caption");
    answerWith(QMessageBox::Yes);
    dialogs.confirm("Delete Scheme /s/a.sch", 0);
    ASSERT_EQ(5u, shown.size());
    EXPECT_EQ(QMessageBox::Warning, shown[0].icon);
    EXPECT_EQ(QMessageBox::Information, shown[1].icon);
    EXPECT_EQ(QMessageBox::NoIcon, shown[2].icon);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QMessageBox::StandardButtons(QMessageBox::Ok), shown[i].buttons) << i;
    EXPECT_EQ("Warning", shown[0].title);
    EXPECT_EQ("Information", shown[1].title);
    EXPECT_EQ("Quorvia", shown[2].title);
    EXPECT_EQ("Disk full", shown[0].text);
    EXPECT_EQ("Own caption", shown[3].title);
    EXPECT_EQ("Quorvia", shown[4].title);
}

TEST_F(DialogsTest, ABoxBelongsToTheWindowTheUserIsWorkingIn) {
    QWidget main;
    QDialog dialog(&main);
    dialogs.setParent(&main);
    main.show();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* owner = nullptr;
    QtDialogs::answerNextBox = [&](QDialog& box) {
        owner = box.parentWidget();
        return int(QMessageBox::Ok);
    };
    dialogs.messageBox(AlertKind::Warning, "Enter Your E-Mail Address", 0);
    EXPECT_EQ(&dialog, owner);
    dialog.hide();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    dialogs.plainBox("Note", {});
    EXPECT_EQ(&main, owner);
}

TEST_F(DialogsTest, OnlyYesConsentsAndOnlyIgnoreGoesOn) {
    answerWith(QMessageBox::Yes);
    EXPECT_TRUE(dialogs.confirm("Delete Scheme /s/a.sch", 0));
    answerWith(QMessageBox::No);
    EXPECT_FALSE(dialogs.confirm("Delete Scheme /s/a.sch", 0));
    answerWith(0); // closed with the window's close box
    EXPECT_FALSE(dialogs.confirm("Delete Scheme /s/a.sch", 0));
    EXPECT_EQ(QMessageBox::Yes | QMessageBox::No, shown[0].buttons);
    EXPECT_EQ(QMessageBox::Question, shown[0].icon);

    answerWith(QMessageBox::Ignore);
    EXPECT_EQ(AbortIgnore::Ignore, dialogs.askAbortIgnore("Error (5) Could Not Read: /a"));
    answerWith(QMessageBox::Abort);
    EXPECT_EQ(AbortIgnore::Abort, dialogs.askAbortIgnore("Error (5) Could Not Read: /a"));
    EXPECT_EQ(QMessageBox::Abort | QMessageBox::Ignore, shown.back().buttons);
    EXPECT_EQ(QMessageBox::Warning, shown.back().icon);
}

TEST_F(DialogsTest, ThePromptOffersTheProposalAndReturnsWhatWasTyped) {
    answerWith(QDialog::Accepted, "Weekly");
    EXPECT_EQ("Weekly", dialogs.prompt("Enter A Unique Scheme Name", "New Scheme Name", "My Scheme")
                            .value_or("<cancel>"));
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("Enter A Unique Scheme Name", shown[0].title);
    EXPECT_EQ("New Scheme Name", shown[0].promptLabel);
    EXPECT_EQ("My Scheme", shown[0].promptText);
    answerWith(QDialog::Rejected);
    EXPECT_FALSE(dialogs.prompt("Enter A Unique Scheme Name", "New Scheme Name", "x").has_value());
}
