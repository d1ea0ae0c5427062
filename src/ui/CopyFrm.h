#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class TForm4;
}

namespace quorvia {

// The progress window shown while a source folder is measured: an animation
// and an abort button. Enter, Esc, the button and the close box all abort.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    // Called on every abort request (sets AbortRequested, cancels a zip).
    std::function<void()> onAbort;

    void showChecking(); // caption "Quorvia - Checking", animation running
    void hideWindow();
    bool animating() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc

private:
    void Button1Click();

    std::unique_ptr<Ui::TForm4> m_ui;
};

} // namespace quorvia
