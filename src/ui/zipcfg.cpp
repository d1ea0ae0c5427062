#include "ui/zipcfg.h"

#include "commands/SettingsCommands.h"
#include "ui/Help.h"
#include "ui_zipcfg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

namespace quorvia {

TForm8::TForm8(AppState& state, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(state),
      m_dialogs(dialogs), m_ui(std::make_unique<Ui::TForm8>()) {
    m_ui->setupUi(this);
    setModal(false);
    AddHelpKey(*this, m_dialogs, m_state.settings);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm8::Button1Click);
    connect(m_ui->Button2, &QPushButton::clicked, this, &TForm8::Button2Click);
    connect(m_ui->Button3, &QPushButton::clicked, this, &TForm8::Button3Click);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm8::~TForm8() = default;

void TForm8::showDialog() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    show();
}

QComboBox* TForm8::level() const {
    return m_ui->ComboBox1;
}

void TForm8::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TForm8::FormShow() {
    const Settings& s = m_state.settings;
    m_ui->CheckBox1->setChecked(s.ZipPassword);
    m_ui->CheckBox2->setChecked(s.ZipStoreDir);
    m_ui->CheckBox3->setChecked(s.Zip83Format);
    // A level outside the list selects nothing and leaves the text empty.
    const bool listed = s.ZipCompression >= 0 && s.ZipCompression < m_ui->ComboBox1->count();
    m_ui->ComboBox1->setCurrentIndex(listed ? s.ZipCompression : -1);
    if (!listed)
        m_ui->ComboBox1->setEditText(QString());
}

void TForm8::Button1Click() {
    Settings& s = m_state.settings;
    s.Zip83Format = m_ui->CheckBox3->isChecked();
    s.ZipPassword = m_ui->CheckBox1->isChecked();
    s.ZipStoreDir = m_ui->CheckBox2->isChecked();
    switch (AcceptZipLevel(s, m_dialogs, m_ui->ComboBox1->currentText())) {
    case ZipLevelResult::Saved:
        hide();
        break;
    case ZipLevelResult::OutOfRange:
        m_ui->ComboBox1->setFocus();
        break;
    case ZipLevelResult::NotAnInteger:
    case ZipLevelResult::NotStored:
        break;
    }
}

void TForm8::Button2Click() {
    hide();
}

void TForm8::reject() {
    Button2Click();
}

void TForm8::Button3Click() {
    m_ui->CheckBox1->setChecked(false);
    m_ui->CheckBox2->setChecked(true);
    m_ui->CheckBox3->setChecked(false);
    m_ui->ComboBox1->setCurrentIndex(3);
}

} // namespace quorvia
