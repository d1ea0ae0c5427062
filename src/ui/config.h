#pragma once

#include "app/AppState.h"
#include "app/Dialogs.h"

#include <QDialog>
#include <functional>
#include <memory>

class QAbstractButton;

namespace Ui {
class TForm6;
}

namespace quorvia {

// The config dialog: the program-wide options as eleven check boxes. It edits
// the settings in memory and stores all of them on OK.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    TForm6(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm6() override;

    // "Zip Settings" opens the zip settings dialog here.
    std::function<void()> showZipSettings;

    // Shows the dialog, or brings it to the front when it is already open.
    void showDialog();
    QAbstractButton* box(const char* name) const;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Esc and the close box: Cancel

private:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void CheckBox953Click(bool checked);
    void CheckBox1Click(bool checked);

    AppState& m_state;
    Dialogs& m_dialogs;
    std::unique_ptr<Ui::TForm6> m_ui;
};

} // namespace quorvia
