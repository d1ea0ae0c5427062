#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class TForm5;
}

namespace quorvia {

class FindAnimation;

// The splash at start-up and the about box: one borderless window with the
// product picture, the version, a searching animation and the maker's notice
// line. It closes itself on its timer, which runs from its creation.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSplashMs = 5000;
    static constexpr int kAboutMs = 7000;

    TForm5(const Settings& settings, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm5() override;

    // The notice line opens the send-mail dialog here; until there is one it says so.
    std::function<void()> openSendMail;

    // The start-up step: the version, the window and its animation.
    void showSplash();
    // "&About": the version, the window for the about interval, counted afresh.
    void showAbout();
    // How long the about box stays (tests use short times).
    void setAboutInterval(int ms) { m_aboutMs = ms; }
    QTimer& Timer1() { return m_timer1; }
    FindAnimation* animation() const;
    QLabel* label(const char* name) const;

protected:
    void reject() override; // Esc: it closes on its timer only
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer();
    void Button2Click();
    void Label3Click();

    const Settings& m_settings;
    Dialogs& m_dialogs;
    std::unique_ptr<Ui::TForm5> m_ui;
    QTimer m_timer1;
    int m_aboutMs = kAboutMs;
};

} // namespace quorvia
