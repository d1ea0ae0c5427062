#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class TForm7;
}

namespace quorvia {

// The stats dialog: totals and the last run as stored, the program's version,
// the scheme folder and the queue. It only reads.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    TForm7(AppState& state, UserPort& port, QWidget* parent = nullptr);
    ~TForm7() override;

    // The mail link opens the send-mail dialog here; until there is one it says so.
    std::function<void()> openSendMail;

    // Shows the dialog, or brings it to the front when it is already open.
    void showDialog();
    // The queue rows, from the queue as it is now.
    void RefreshQueueStatus();
    QLabel* label(const char* name) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void Button1Click();
    void Button3Click();
    void Label46Click();
    void setSized(QLabel* label, const QString& text);

    AppState& m_state;
    UserPort& m_port;
    std::unique_ptr<Ui::TForm7> m_ui;
};

} // namespace quorvia
