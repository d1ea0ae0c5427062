#pragma once

#include "app/AppState.h"
#include "app/Dialogs.h"

#include <QDialog>
#include <memory>

class QComboBox;

namespace Ui {
class TForm8;
}

namespace quorvia {

// The zip settings dialog: password, folder names, the hidden 8.3 option and
// the compression level. OK stores every setting, the config dialog's too.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    TForm8(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm8() override;

    // Shows the dialog, or brings it to the front when it is already open.
    void showDialog();
    QComboBox* level() const;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Esc: Cancel

private:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();

    AppState& m_state;
    Dialogs& m_dialogs;
    std::unique_ptr<Ui::TForm8> m_ui;
};

} // namespace quorvia
