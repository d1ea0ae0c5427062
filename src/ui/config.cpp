#include "ui/config.h"

#include "app/Alerts.h"
#include "app/SettingsLoader.h"
#include "ui/Help.h"
#include "ui_config.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

namespace quorvia {

TForm6::TForm6(AppState& state, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_state(state), m_dialogs(dialogs), m_ui(std::make_unique<Ui::TForm6>()) {
    m_ui->setupUi(this);
    setFixedSize(size());
    setModal(false);
    setWindowIcon(QIcon(":/quorvia/quorvia.png"));
    AddHelpKey(*this, m_dialogs, m_state.settings);

    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(m_ui->Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    connect(m_ui->Button3, &QPushButton::clicked, this, &TForm6::Button3Click);
    connect(m_ui->Button4, &QPushButton::clicked, this, &TForm6::Button4Click);
    connect(m_ui->Button5, &QPushButton::clicked, this, &TForm6::Button5Click);
    // A reaction runs on every change of state, by the user or by the program.
    connect(m_ui->CheckBox953, &QCheckBox::toggled, this, &TForm6::CheckBox953Click);
    connect(m_ui->CheckBox1, &QCheckBox::toggled, this, &TForm6::CheckBox1Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm6::~TForm6() = default;

void TForm6::showDialog() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    show();
}

QAbstractButton* TForm6::box(const char* name) const {
    return findChild<QAbstractButton*>(name);
}

void TForm6::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TForm6::FormShow() {
    const Settings& s = m_state.settings;
    BeepIfSoundOn(m_dialogs, s);
    m_ui->CheckBox951->setChecked(s.CheckPrior);
    m_ui->CheckBox952->setChecked(s.ShowWork);
    m_ui->CheckBox953->setChecked(s.SoundOn);
    m_ui->CheckBox954->setChecked(s.Caps);
    m_ui->CheckBox955->setChecked(s.ConfirmDel);
    m_ui->CheckBox956->setChecked(s.Recycle);
    m_ui->CheckBox957->setChecked(s.CopyOnlyNewer);
    m_ui->CheckBox958->setChecked(s.CopySystem);
    m_ui->CheckBox959->setChecked(s.CopyHidden);
    m_ui->CheckBox960->setChecked(s.ResetArchiveFlag);
    // The zip box shows the stored mode, never the displayed scheme's last run:
    // OK without a change must not switch the next backups between copy and zip.
    m_ui->CheckBox1->setChecked(s.ZipArchiveFlag);
    if (s.ZipArchiveFlag)
        m_ui->Button5->setEnabled(true);
    // During a run the options that steer the copy stay as they are.
    const bool idle = !m_state.flags.Busy;
    QWidget* const copyBoxes[] = {m_ui->CheckBox957, m_ui->CheckBox958, m_ui->CheckBox959,
                                  m_ui->CheckBox960, m_ui->CheckBox1};
    for (QWidget* copyBox : copyBoxes)
        copyBox->setEnabled(idle);
    m_ui->Button5->setEnabled(idle && s.ZipArchiveFlag);
}

void TForm6::CheckBox953Click(bool checked) {
    if (checked)
        m_dialogs.beep();
}

void TForm6::CheckBox1Click(bool checked) {
    m_ui->Button5->setEnabled(checked);
    if (checked)
        m_ui->CheckBox951->setChecked(false);
    m_ui->CheckBox951->setEnabled(!checked);
}

void TForm6::Button1Click() {
    Settings& s = m_state.settings;
    s.CheckPrior = m_ui->CheckBox951->isChecked();
    s.ShowWork = m_ui->CheckBox952->isChecked();
    s.SoundOn = m_ui->CheckBox953->isChecked();
    s.Caps = m_ui->CheckBox954->isChecked();
    s.ConfirmDel = m_ui->CheckBox955->isChecked();
    s.Recycle = m_ui->CheckBox956->isChecked();
    s.CopyOnlyNewer = m_ui->CheckBox957->isChecked();
    s.CopyHidden = m_ui->CheckBox959->isChecked();
    s.CopySystem = m_ui->CheckBox958->isChecked();
    s.ResetArchiveFlag = m_ui->CheckBox960->isChecked();
    s.ZipArchiveFlag = m_ui->CheckBox1->isChecked();
    // A failed write has been reported; the dialog stays for another try.
    if (SaveSettings(s, m_dialogs))
        hide();
}

void TForm6::Button2Click() {
    hide();
}

void TForm6::reject() {
    Button2Click();
}

void TForm6::Button3Click() {
    m_ui->CheckBox951->setChecked(true);
    m_ui->CheckBox952->setChecked(false);
    m_ui->CheckBox953->setChecked(true);
    m_ui->CheckBox954->setChecked(true);
    m_ui->CheckBox955->setChecked(true);
    m_ui->CheckBox956->setChecked(true);
    m_ui->CheckBox957->setChecked(true);
    m_ui->CheckBox958->setChecked(true);
    m_ui->CheckBox959->setChecked(true);
    m_ui->CheckBox960->setChecked(false);
    m_ui->CheckBox1->setChecked(false);
}

void TForm6::Button4Click() {
    ShowAlert(m_dialogs, m_state.settings,
              "When 'Check Space Prior' Is Selected You Will Be Provided With Percentage (%) "
              "Complete AND The Queue Count.\n\nWhen 'Check Space Prior' Is Not Selected You "
              "Will Be Provided With Queue Count ONLY.",
              AlertKind::Information);
}

void TForm6::Button5Click() {
    if (showZipSettings)
        showZipSettings();
}

} // namespace quorvia
