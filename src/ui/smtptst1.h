#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class TSmtpTestForm;
}

namespace quorvia {

namespace mail {
class TSmtpClient;
}

// The feedback dialog: the user types a message and names a server and an
// address; the message goes to the feedback address with a block about the
// user and, on request, the program's totals. The whole send runs inside the
// click, Wait1 counting down each wait for the server. The dialog says
// whether the mail went; on failure it stays open with the text as typed.
class TSmtpTestForm : public QDialog {
    Q_OBJECT
public:
    TSmtpTestForm(const Settings& settings, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TSmtpTestForm() override;

    // Shows the dialog modeless (never modal), or raises it when it is up.
    void open() override;
    bool sending() const { return m_sending; }
    // The SMTP service: "smtp" (port 25) unless a test names another port.
    void setServicePort(const QString& port) { m_servicePort = port; }
    mail::TSmtpClient& SmtpClient();

    void FormShow();
    void MailButtonClick();
    void Button1Click();
    void SmtpClientDisplay(const QString& Msg);
    // One line of the message, whole, in UTF-8; More false after the last.
    void SmtpClientGetData(int LineNum, QByteArray& MsgLine, bool& More);
    void SmtpClientHeaderLine(char* Msg, int Size);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc

private:
    class Client;
    void FormCreate();
    // Drops the connection: the server discards a message not yet ended.
    void cancelSend();
    void enableMessage();

    const Settings& m_settings;
    Dialogs& m_dialogs;
    std::unique_ptr<Ui::TSmtpTestForm> m_ui;
    std::unique_ptr<Client> m_client;
    QString m_servicePort = QStringLiteral("smtp");
    QString m_userAddress; // the From box as the dialog came up
    QString m_senderName;  // SenderName as stored when the dialog came up
    QStringList m_body;    // what goes out: the typed lines and the information block
    bool m_sending = false;
    bool m_cancelled = false;
};

} // namespace quorvia
