#include "ui/CopyFrm.h"

#include "ui_CopyFrm.h"

#include <QCloseEvent>

namespace quorvia {

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::TForm4>()) {
    m_ui->setupUi(this);
    setFixedSize(size());
    setModal(false);
    m_ui->Animate2->setKind(FindAnimation::Kind::FindFile);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

TForm4::~TForm4() = default;

void TForm4::showChecking() {
    setWindowTitle("Quorvia - Checking");
    m_ui->Animate2->setActive(true);
    show();
    raise();
    m_ui->Button1->setFocus();
}

void TForm4::hideWindow() {
    m_ui->Animate2->setActive(false);
    hide();
}

bool TForm4::animating() const {
    return m_ui->Animate2->isActive();
}

void TForm4::Button1Click() {
    if (onAbort)
        onAbort();
    hideWindow();
}

void TForm4::closeEvent(QCloseEvent* event) {
    Button1Click();
    event->accept();
}

void TForm4::reject() {
    Button1Click();
}

} // namespace quorvia
