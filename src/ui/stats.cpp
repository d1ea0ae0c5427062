#include "ui/stats.h"

#include "app/ProgramInfo.h"
#include "commands/StatsReport.h"
#include "ui/Help.h"
#include "ui/Links.h"
#include "ui_stats.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>

namespace quorvia {

TForm7::TForm7(AppState& state, UserPort& port, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_state(state), m_port(port), m_ui(std::make_unique<Ui::TForm7>()) {
    m_ui->setupUi(this);
    setFixedSize(size());
    setModal(false);
    AddHelpKey(*this, m_port.dialogs, m_state.settings);
    m_ui->Label46->setText(QString::fromLatin1(kFeedbackAddress));
    StyleAsLink(m_ui->Label46);
    m_ui->Label46->installEventFilter(this);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(m_ui->Button3, &QPushButton::clicked, this, &TForm7::Button3Click);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm7::~TForm7() = default;

void TForm7::showDialog() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    show();
}

QLabel* TForm7::label(const char* name) const {
    return findChild<QLabel*>(name);
}

void TForm7::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->Label46 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label46Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm7::setSized(QLabel* label, const QString& text) {
    // Wide as the text, as tall as its row so that it lines up with the caption.
    label->setText(text);
    label->resize(label->sizeHint().width(), label->height());
}

void TForm7::FormShow() {
    const StatsRows rows = ReadStatsRows(m_state.settings);
    m_ui->Label7->setText(rows.LastRunOn);
    m_ui->Label8->setText(rows.LastSchemeName);
    m_ui->Label9->setText(rows.TimesRun);
    m_ui->Label11->setText(rows.DirCount);
    m_ui->Label12->setText(rows.ErrorCount);
    m_ui->Label14->setText(rows.LastRunTime);
    // A path has no blanks to wrap at: let it break after each separator.
    m_ui->Label16->setText(QString(rows.SchemeDir).replace('/', QStringLiteral("/\u200B")));
    m_ui->Label16->setToolTip(m_state.settings.SchemeDir);
    m_ui->Label18->setText(rows.Version);
    m_ui->Label20->setText(rows.CompileDate);
    m_ui->Label24->setText(rows.TotalTransferred);
    m_ui->Label25->setText(rows.TotalFileCount);
    m_ui->Label26->setText(rows.TotalDirCount);
    m_ui->Label28->setText(rows.TotalErrorCount);
    setSized(m_ui->Label48, rows.FileCopied);
    setSized(m_ui->Label30, rows.LastRunSize);
    RefreshQueueStatus();
}

void TForm7::RefreshQueueStatus() {
    setSized(m_ui->Label33, QString::number(SchemeQueue::Capacity));
    const QStringList rows = QueueRows(m_state.queue);
    QLabel* const labels[] = {m_ui->Label34, m_ui->Label35, m_ui->Label36, m_ui->Label37,
                              m_ui->Label38};
    for (int n = 0; n < SchemeQueue::Capacity; ++n)
        labels[n]->setText(rows[n]);
}

void TForm7::Button1Click() {
    hide();
    if (m_state.flags.Busy)
        m_port.view.raiseProgressWindow();
}

void TForm7::Button3Click() {
    ShowWhatsNew(m_port.dialogs, m_state.settings);
}

void TForm7::Label46Click() {
    if (openSendMail)
        openSendMail();
    else
        SayNotAvailable(m_port.dialogs, "send-mail window");
}

} // namespace quorvia
