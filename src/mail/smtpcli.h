#pragma once

#include "mail/WSocket.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QFile;

namespace quorvia::mail {

class TCustomSmtpClient;

using TSmtpDisplay = std::function<void(TCustomSmtpClient* Sender, const QString& Msg)>;
// Msg is a zero-terminated buffer of Size bytes that the handler may change.
using TSmtpHeaderLineEvent = std::function<void(TCustomSmtpClient* Sender, char* Msg, int Size)>;
// MsgLine is a zero-terminated buffer that holds MaxLen characters and the terminator.
using TSmtpGetDataEvent = std::function<void(TCustomSmtpClient* Sender, int LineNum, char* MsgLine,
                                             int MaxLen, bool& More)>;
// Line is empty on entry and takes one whole line of text, of any length, in CharSet.
using TSmtpGetLineEvent =
    std::function<void(TCustomSmtpClient* Sender, int LineNum, QByteArray& Line, bool& More)>;

// Sends one plain-text message to an SMTP server (HELO, MAIL FROM, RCPT TO,
// DATA, QUIT). Each call runs its part of the dialogue to the end before it
// returns, waiting for every reply in a nested loop with the Wait control as
// its visible timeout. Every line sent or received goes to OnDisplay.
//
// What goes out is plain 7-bit mail: the text quoted-printable in CharSet, a
// non-ASCII Subject or display name as UTF-8 encoded-words, no line over 998
// characters. Failures of the socket layer end the operation with false and
// ErrorMessage set; they never leave Connect, Mail or Quit.
class TCustomSmtpClient : public QObject {
public:
    static constexpr int kLineBufferSize = 1024;

    explicit TCustomSmtpClient(QObject* Owner = nullptr);
    ~TCustomSmtpClient() override;

    QString Host() const { return m_host; }
    void SetHost(const QString& v) { m_host = v; }
    QString Port() const { return m_port; }
    void SetPort(const QString& v) { m_port = v; }
    QString SignOn() const { return m_signOn; }
    void SetSignOn(const QString& v) { m_signOn = v; }
    QString FromName() const { return m_fromName; }
    void SetFromName(const QString& v) { m_fromName = v; }
    QStringList RcptName() const { return m_rcptName; }
    void SetRcptName(const QStringList& v) { m_rcptName = v; }
    QString HdrFrom() const { return m_hdrFrom; }
    void SetHdrFrom(const QString& v) { m_hdrFrom = v; }
    QString HdrTo() const { return m_hdrTo; }
    void SetHdrTo(const QString& v) { m_hdrTo = v; }
    QString HdrSubject() const { return m_hdrSubject; }
    void SetHdrSubject(const QString& v) { m_hdrSubject = v; }
    TCustomWait* Wait() const { return m_wait; }
    // Also becomes the socket's WaitCtrl.
    void SetWait(TCustomWait* wait);
    QString CharSet() const { return m_charSet; }
    void SetCharSet(const QString& v) { m_charSet = v; }
    // Seconds (ticks of the Wait control) for the connection and for each reply.
    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int seconds) { m_timeOut = seconds; }
    QString ErrorMessage() const { return m_errorMessage; }
    QString LastResponse() const { return m_lastResponse; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    TSmtpDisplay OnDisplay;
    // Text lines through a buffer of kLineBufferSize bytes (MaxLen one less).
    TSmtpGetDataEvent OnGetData;
    // Text lines without a length limit; used instead of OnGetData when assigned.
    TSmtpGetLineEvent OnGetLine;
    TSmtpHeaderLineEvent OnHeaderLine;

    // True when the session is ready (also when it already was).
    virtual bool Connect();
    // Sends one message, connecting first when needed; true when the server took it.
    virtual bool Mail();
    // Ends the session; true on 221 or when there was no connection.
    virtual bool Quit();

protected:
    // The next data line as it goes out: a text line quoted-printable, its
    // encoded lines joined with CR LF.
    virtual void TriggerGetData(int LineNum, QByteArray& Line, bool& More);
    // Buffer holds the header line and room for a handler to add at least
    // kLineBufferSize - 1 bytes; Size counts the terminator.
    virtual void TriggerHeaderLine(char* Buffer, int Size);

    void Display(const QString& Msg);
    void SetErrorMessage(const QString& text) { m_errorMessage = text; }
    TWSocket& Socket() { return *m_socket; }

private:
    bool ConnectSteps();
    bool MailSteps();
    // Runs an operation; a socket exception becomes a failure with its message.
    bool Guarded(bool (TCustomSmtpClient::*steps)());
    void SendCommand(const QByteArray& S);
    // Each line of the text dot-stuffed and sent.
    void SendDataLines(const QByteArray& text);
    int GetResponse();
    // Both return true when the check failed.
    bool CheckReply(int Expected, bool CloseOnError);
    bool CheckReply(int Expected, int Alternative, bool CloseOnError);
    void SendHeaderLine(const QByteArray& Text);
    int TickMs() const;
    int TicksLeft(const QDeadlineTimer& deadline) const;

    std::unique_ptr<TWSocket> m_socket;
    QPointer<TCustomWait> m_wait;
    QString m_host;
    QString m_port = QStringLiteral("smtp");
    QString m_signOn;
    QString m_fromName;
    QStringList m_rcptName;
    QString m_hdrFrom;
    QString m_hdrTo;
    QString m_hdrSubject;
    QString m_charSet = QStringLiteral("iso-8859-1");
    int m_timeOut = 15;
    QString m_errorMessage;
    QString m_lastResponse;
    int m_tag = 0;

    int m_stage = 0; // 0 not connected, 1 connected, 2 ready
    bool m_timedOut = false;
    bool m_dataSent = false;
    bool m_lineTooLong = false;
};

// Adds file attachments: with EmailFiles set, the message goes out as MIME
// multipart with the text first and each file as a base64 part.
class TSmtpClient : public TCustomSmtpClient {
public:
    explicit TSmtpClient(QObject* Owner = nullptr);
    ~TSmtpClient() override;

    QStringList EmailFiles() const { return m_emailFiles; }
    void SetEmailFiles(const QStringList& files) { m_emailFiles = files; }

    bool Mail() override;

protected:
    void TriggerGetData(int LineNum, QByteArray& Line, bool& More) override;
    void TriggerHeaderLine(char* Buffer, int Size) override;

private:
    void OpenNextAttachment();

    QStringList m_emailFiles;
    QByteArrayList m_pending;
    QByteArray m_boundary;
    int m_fileIndex = 0;
    std::unique_ptr<QFile> m_file;
    bool m_bodyPhase = false;
    int m_bodyLine = 0;
};

} // namespace quorvia::mail
