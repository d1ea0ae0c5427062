#pragma once

#include "app/AppState.h"

#include <QDialog>
#include <memory>

namespace Ui {
class TForm3;
}

namespace quorvia {

// The work list: the files and folders the last run worked on, with its counters.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(const AppState& state, QWidget* parent = nullptr);
    ~TForm3() override;

    // Shows the lines; the counters are read when the window comes up.
    void showWork(const QStringList& lines);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void Button1Click();

    const AppState& m_state;
    std::unique_ptr<Ui::TForm3> m_ui;
};

} // namespace quorvia
