#include "ui/Temp.h"

#include "app/RunStatistics.h"
#include "ui_Temp.h"

namespace quorvia {

TForm3::TForm3(const AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_ui(std::make_unique<Ui::TForm3>()) {
    m_ui->setupUi(this);
    setModal(false);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

TForm3::~TForm3() = default;

void TForm3::showWork(const QStringList& lines) {
    m_ui->ListBox1->clear();
    m_ui->ListBox1->addItems(lines);
    if (isVisible())
        raise();
    else
        show();
}

void TForm3::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

// The counters as they are when the window comes up, plain decimal.
void TForm3::FormShow() {
    const RunState& run = m_state.run;
    const QString tail = m_state.flags.AbortRequested ? QStringLiteral(" (Aborted)") : QString();
    m_ui->Label2->setText(QString::number(RunFileCount(run)) + tail);
    m_ui->Label4->setText(QString::number(run.FolderCount) + tail);
    m_ui->Label6->setText(QString::number(run.RunErrors) + tail);
    m_ui->Label8->setText(QString::number(run.FilesCopied) + tail);
}

void TForm3::Button1Click() {
    hide();
}

} // namespace quorvia
