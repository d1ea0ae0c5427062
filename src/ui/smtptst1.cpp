#include "ui/smtptst1.h"

#include "app/Alerts.h"
#include "app/SettingsLoader.h"
#include "commands/FeedbackMail.h"
#include "mail/smtpcli.h"
#include "platform/SettingsStore.h"
#include "ui/Help.h"
#include "ui_smtptst1.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <cstring>

namespace quorvia {

namespace {
constexpr int kTimeOut = 15;     // seconds for the connection and for each reply
constexpr int kTraceLines = 100; // the trace starts afresh beyond this
const char* const kSignOn = "SignOnEdit";

QString feedbackAddress() {
    return QString::fromLatin1(kFeedbackAddress);
}
} // namespace

// The client, able to drop its connection at once: Cancel during a send must
// not wait for the server, and a QUIT sent inside the data would be text.
class TSmtpTestForm::Client : public mail::TSmtpClient {
public:
    using TSmtpClient::TSmtpClient;
    void dropConnection() {
        try {
            Socket().Abort();
        } catch (const mail::ESocketException&) {
        }
    }
};

TSmtpTestForm::TSmtpTestForm(const Settings& settings, Dialogs& dialogs, QWidget* parent)
    // A dialog of the main window: it stays above it, also after its boxes.
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings), m_dialogs(dialogs), m_ui(std::make_unique<Ui::TSmtpTestForm>()),
      m_client(std::make_unique<Client>()) {
    m_ui->setupUi(this);
    setModal(false);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    AddHelpKey(*this, m_dialogs, m_settings);
    connect(m_ui->MailButton, &QPushButton::clicked, this, &TSmtpTestForm::MailButtonClick);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TSmtpTestForm::Button1Click);
    FormCreate();
}

TSmtpTestForm::~TSmtpTestForm() {
    if (m_sending)
        m_client->dropConnection();
}

mail::TSmtpClient& TSmtpTestForm::SmtpClient() {
    return *m_client;
}

void TSmtpTestForm::FormCreate() {
    m_ui->DisplayMemo->clear();
    m_ui->MsgMemo->clear();

    mail::TWait* wait = m_ui->Wait1;
    wait->SetCaption(QStringLiteral("60"));
    wait->SetModalResult(0);
    wait->SetInterval(1000);

    Client& c = *m_client;
    c.SetPort(QStringLiteral("smtp"));
    c.SetWait(wait);
    // The text is UTF-8; the client carries it quoted-printable over 7-bit SMTP.
    c.SetCharSet(QStringLiteral("utf-8"));
    c.SetTimeOut(kTimeOut);
    c.OnDisplay = [this](mail::TCustomSmtpClient*, const QString& msg) { SmtpClientDisplay(msg); };
    c.OnGetLine = [this](mail::TCustomSmtpClient*, int n, QByteArray& line, bool& more) {
        SmtpClientGetData(n, line, more);
    };
    c.OnHeaderLine = [this](mail::TCustomSmtpClient*, char* msg, int size) {
        SmtpClientHeaderLine(msg, size);
    };
}

void TSmtpTestForm::open() {
    if (isVisible())
        raise();
    else
        show();
    activateWindow();
}

void TSmtpTestForm::showEvent(QShowEvent* event) {
    // Only when the dialog comes up, not when it is restored: the boxes keep
    // what the user typed meanwhile.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TSmtpTestForm::FormShow() {
    const MailSettings stored = ReadMailSettings();
    m_ui->HostEdit->setText(stored.SMTP);
    m_ui->FromEdit->setText(stored.UserName);
    m_userAddress = stored.UserName;
    m_senderName = stored.SenderName;
    m_client->SetFromName(stored.SenderName);
}

void TSmtpTestForm::enableMessage() {
    m_ui->MsgMemo->setEnabled(true);
    m_ui->MsgMemo->show();
    m_ui->MailButton->setEnabled(true);
}

void TSmtpTestForm::MailButtonClick() {
    if (m_sending)
        return;
    const QString from = m_ui->FromEdit->text();
    // Without an address nobody could answer, and servers refuse the sender.
    if (MailAddressOf(from).isEmpty()) {
        ShowAlert(m_dialogs, m_settings,
                  "Enter Your E-Mail Address In The From Box\n(For Example: anna@example.org)",
                  AlertKind::Warning);
        m_ui->FromEdit->setFocus();
        return;
    }

    // The block goes with the message, not into the box: a second attempt
    // after a failure must not add it twice.
    InformationBlockInput info;
    info.userAddress = m_userAddress;
    info.fromText = from;
    info.senderName = m_senderName;
    info.sendData = m_ui->SendData->isChecked();
    info.statistics = ReadFeedbackStatistics();
    info.schemeDir = m_settings.SchemeDir;
    m_body = MessageLines(m_ui->MsgMemo->toPlainText()) + InformationBlock(info);

    m_ui->MsgMemo->setEnabled(false);
    m_ui->MsgMemo->hide();
    m_ui->MailButton->setEnabled(false);

    // Stored before the attempt, so that a failing server is offered again.
    if (!WriteMailSettings(m_ui->HostEdit->text(), from))
        ShowAlert(m_dialogs, m_settings,
                  "Settings Could Not Be Saved. File: " + platform::storeLocation(kQuorviaKey),
                  AlertKind::Warning);

    Client& c = *m_client;
    c.SetRcptName({feedbackAddress()});
    c.SetHdrFrom(from);
    c.SetHdrTo(feedbackAddress());
    c.SetHdrSubject(m_ui->SubjectEdit->text());
    c.SetSignOn(kSignOn);
    c.SetFromName(EnvelopeSender(m_senderName, from));
    c.SetHost(m_ui->HostEdit->text().trimmed());
    c.SetPort(m_servicePort);

    m_sending = true;
    m_cancelled = false;
    const bool sent = c.Mail();
    const QString error = c.ErrorMessage().isEmpty() ? c.LastResponse() : c.ErrorMessage();
    c.Quit();
    m_sending = false;

    enableMessage();
    if (sent) {
        // The next use starts with an empty box.
        m_ui->MsgMemo->clear();
        hide();
        ShowAlert(m_dialogs, m_settings, "Your Mail Was Sent To " + feedbackAddress(),
                  AlertKind::Information);
    } else if (!m_cancelled) {
        ShowAlert(m_dialogs, m_settings, MailFailureText(error, kTimeOut), AlertKind::Warning);
        m_ui->MsgMemo->setFocus();
    }
}

void TSmtpTestForm::cancelSend() {
    m_cancelled = true;
    m_client->dropConnection();
}

void TSmtpTestForm::Button1Click() {
    if (m_sending)
        cancelSend();
    else
        m_client->Quit(); // nothing goes out without a connection
    hide();
}

void TSmtpTestForm::closeEvent(QCloseEvent* event) {
    if (m_sending)
        cancelSend();
    QDialog::closeEvent(event);
}

void TSmtpTestForm::reject() {
    if (m_sending)
        cancelSend();
    QDialog::reject();
}

void TSmtpTestForm::SmtpClientDisplay(const QString& Msg) {
    QPlainTextEdit* trace = m_ui->DisplayMemo;
    const int lines = trace->document()->isEmpty() ? 0 : trace->document()->blockCount();
    if (lines > kTraceLines)
        trace->clear();
    trace->appendPlainText(Msg);
}

void TSmtpTestForm::SmtpClientGetData(int LineNum, QByteArray& MsgLine, bool& More) {
    if (LineNum > m_body.size()) {
        More = false;
        return;
    }
    MsgLine = m_body[LineNum - 1].toUtf8();
}

void TSmtpTestForm::SmtpClientHeaderLine(char* Msg, int Size) {
    if (qstrnicmp(Msg, "From:", 5) != 0)
        return;
    // A header of its own right after From; a bare text line there would end the header.
    const QByteArray extra = "\r\n" + kMailerHeader.toLatin1();
    const size_t used = std::strlen(Msg);
    if (used + size_t(extra.size()) < size_t(Size))
        std::memcpy(Msg + used, extra.constData(), size_t(extra.size()) + 1);
}

} // namespace quorvia
