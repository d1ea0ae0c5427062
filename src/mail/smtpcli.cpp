#include "mail/smtpcli.h"

#include "mail/EventPump.h"
#include "mail/LeadingNumber.h"
#include "mail/LineBuffer.h"
#include "mail/MailDate.h"
#include "mail/MimeText.h"
#include "mail/Wait.h"

#include <QCoreApplication>
#include <vector>

namespace quorvia::mail {
namespace {

// An address or host name as a command argument: a line break in a setting
// must not smuggle in a command of its own.
QByteArray commandArgument(const QString& text) {
    QByteArray bytes = text.trimmed().toUtf8();
    bytes.replace('\r', "").replace('\n', "");
    return bytes;
}

// A reply line the trace and ErrorMessage can show: control characters
// dropped, and a line with nothing left to read named as such.
QString readableReply(const QString& line) {
    QString text;
    for (const QChar c : line)
        if (c == u'\t')
            text += u' ';
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            text += c;
    return text.trimmed().isEmpty() ? QStringLiteral("554 empty reply") : text;
}

} // namespace

TCustomSmtpClient::TCustomSmtpClient(QObject* Owner)
    : QObject(Owner), m_socket(std::make_unique<TWSocket>()) {
    m_socket->OnSessionClosed = [this](TCustomWSocket*, quint16) {
        if (m_wait)
            m_wait->Stop();
        m_stage = 0;
    };
    m_socket->OnDataSent = [this](TCustomWSocket*, quint16) { m_dataSent = true; };
    m_socket->OnLineTooLong = [this](TCustomWSocket*) { m_lineTooLong = true; };
}

TCustomSmtpClient::~TCustomSmtpClient() {
    // The control may outlive us; its timeout handler points here.
    if (m_wait)
        m_wait->OnTimeout = nullptr;
}

void TCustomSmtpClient::SetWait(TCustomWait* wait) {
    m_wait = wait;
    m_socket->SetWaitCtrl(wait);
}

void TCustomSmtpClient::Display(const QString& Msg) {
    if (OnDisplay)
        OnDisplay(this, Msg);
}

void TCustomSmtpClient::TriggerGetData(int LineNum, QByteArray& Line, bool& More) {
    QByteArray text;
    if (OnGetLine) {
        OnGetLine(this, LineNum, text, More);
    } else if (OnGetData) {
        std::vector<char> buffer(kLineBufferSize, '\0');
        OnGetData(this, LineNum, buffer.data(), kLineBufferSize - 1, More);
        text = BufferText(buffer.data(), kLineBufferSize - 1);
    } else {
        More = false;
    }
    if (More)
        Line = QuotedPrintable(text).join("\r\n");
}

void TCustomSmtpClient::TriggerHeaderLine(char* Buffer, int Size) {
    if (OnHeaderLine)
        OnHeaderLine(this, Buffer, Size);
}

int TCustomSmtpClient::TickMs() const {
    const int interval = m_wait ? m_wait->Interval() : 1000;
    return interval > 0 ? interval : 1000;
}

int TCustomSmtpClient::TicksLeft(const QDeadlineTimer& deadline) const {
    return int(deadline.remainingTime() / TickMs());
}

// ---- dialogue steps ----------------------------------------------------------

void TCustomSmtpClient::SendCommand(const QByteArray& S) {
    if (m_stage == 0)
        return;
    Display(QStringLiteral("> ") + QString::fromUtf8(S));
    QCoreApplication::processEvents();
    if (m_stage != 0 && m_socket->State() != wsConnected)
        m_stage = 0; // closed on an error, without a session-closed event
    if (m_stage == 0)
        return; // the server left meanwhile
    m_dataSent = false;
    m_socket->Send((S + "\r\n").constData(), int(S.size() + 2));
    // Bounded like a reply: a server that stops taking data must not hold us.
    const QDeadlineTimer deadline(qint64(m_timeOut > 0 ? m_timeOut : 15) * TickMs());
    while (!m_dataSent && m_socket->State() == wsConnected) {
        if (deadline.hasExpired()) {
            const QString text = QStringLiteral("554 send timeout");
            m_timedOut = true;
            if (m_errorMessage.isEmpty())
                m_errorMessage = text;
            Display(text);
            m_socket->Abort();
            break;
        }
        PumpEvents(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

int TCustomSmtpClient::GetResponse() {
    if (m_stage == 0) {
        m_lastResponse = QStringLiteral("554 not connected");
        Display(QStringLiteral("< ") + m_lastResponse);
        return 554;
    }
    // One budget for the whole reply, however many lines a server sends.
    const QDeadlineTimer deadline(qint64(m_timeOut > 0 ? m_timeOut : 15) * TickMs());
    for (;;) {
        // After a timeout the replies are out of step for good: nothing more is read.
        if (!m_timedOut) {
            QString line;
            int left = TicksLeft(deadline);
            if (left <= 0) {
                m_timedOut = true;
            } else {
                m_lineTooLong = false;
                m_socket->ReadLine(left, line);
                // The rest of an over-long line belongs to this line, not to the next reply.
                while (m_lineTooLong && !m_timedOut && m_socket->State() == wsConnected) {
                    left = TicksLeft(deadline);
                    if (left <= 0) {
                        m_timedOut = true;
                        break;
                    }
                    m_lineTooLong = false;
                    QString rest;
                    m_socket->ReadLine(left, rest);
                }
            }
            // The server's close ends the line: what came before it is the
            // reply, so its reason, or its 250, is kept. Nothing at all is none.
            const bool closed =
                !m_timedOut && !m_socket->LineComplete() && m_socket->State() != wsConnected;
            if (closed)
                m_stage = 0;
            if (closed && line.isEmpty())
                m_lastResponse = QStringLiteral("554 not connected");
            else
                m_lastResponse = readableReply(line);
        }
        if (m_timedOut)
            m_lastResponse = QStringLiteral("554 receive timeout");
        Display(QStringLiteral("< ") + m_lastResponse);
        if (m_timedOut || m_lastResponse.size() <= 3 || m_lastResponse[3] != u'-')
            break;
    }
    return LeadingNumber(m_lastResponse, u"\t\n\r ");
}

bool TCustomSmtpClient::CheckReply(int Expected, bool CloseOnError) {
    return CheckReply(Expected, Expected, CloseOnError);
}

bool TCustomSmtpClient::CheckReply(int Expected, int Alternative, bool CloseOnError) {
    const int code = GetResponse();
    if (code == Expected || code == Alternative)
        return false;
    if (m_errorMessage.isEmpty())
        m_errorMessage = m_lastResponse;
    if (CloseOnError)
        m_socket->Close();
    return true;
}

void TCustomSmtpClient::SendDataLines(const QByteArray& text) {
    for (QByteArray line : SplitLines(text)) {
        if (m_stage == 0)
            return;
        if (line.startsWith('.'))
            line.prepend('.');
        SendCommand(line);
    }
}

void TCustomSmtpClient::SendHeaderLine(const QByteArray& Text) {
    const int size = int(Text.size()) + kLineBufferSize;
    std::vector<char> buffer(size_t(size), '\0');
    CopyToBuffer(buffer.data(), size, Text);
    TriggerHeaderLine(buffer.data(), size);
    const QByteArray line = BufferText(buffer.data(), size - 1);
    if (!line.isEmpty())
        SendDataLines(FoldLongLines(line));
}

// ---- operations --------------------------------------------------------------

bool TCustomSmtpClient::Guarded(bool (TCustomSmtpClient::*steps)()) {
    try {
        return (this->*steps)();
    } catch (const ESocketException& e) {
        if (m_errorMessage.isEmpty())
            m_errorMessage = e.Message();
        Display(e.Message());
        // Dropping the connection makes a server discard a message cut short.
        try {
            m_socket->Abort();
        } catch (const ESocketException&) {
        }
        m_stage = 0;
        return false;
    }
}

bool TCustomSmtpClient::Connect() {
    return Guarded(&TCustomSmtpClient::ConnectSteps);
}

bool TCustomSmtpClient::Mail() {
    return Guarded(&TCustomSmtpClient::MailSteps);
}

bool TCustomSmtpClient::ConnectSteps() {
    if (!m_wait) {
        m_errorMessage = QStringLiteral("No wait object");
        Display(m_errorMessage);
        return false;
    }
    m_wait->OnTimeout = [this](TCustomWait*) { m_timedOut = true; };
    m_timedOut = false;
    if (m_stage != 0)
        return true;
    m_errorMessage.clear();
    if (m_host.isEmpty()) {
        m_errorMessage = QStringLiteral("No host specified");
        Display(m_errorMessage);
        return false;
    }
    try {
        m_socket->SetProto(QStringLiteral("tcp"));
        m_socket->SetPort(m_port);
        m_socket->SetAddr(m_host);
        m_socket->OnDataAvailable = nullptr; // replies are read only through ReadLine
        m_socket->Connect();
    } catch (const ESocketException& e) {
        m_errorMessage = e.Message();
        // A socket left half open would refuse the next attempt as "in use".
        try {
            m_socket->Abort();
        } catch (const ESocketException&) {
        }
        return false;
    }
    if (!m_socket->Wait(m_timeOut, wsConnected)) {
        m_errorMessage = QStringLiteral("Can't connect to host '%1'").arg(m_host);
        Display(m_errorMessage);
        m_socket->Close();
        return false;
    }
    Display(QStringLiteral("Connected with SMTP server"));
    m_stage = 1;
    if (CheckReply(220, true))
        return false;
    const QString signOn = m_signOn.isEmpty() ? LocalHostName() : m_signOn;
    SendCommand("HELO " + commandArgument(signOn));
    if (CheckReply(250, true))
        return false;
    if (m_stage == 0) {
        // The server answered and left: there is no session to be ready.
        m_lastResponse = QStringLiteral("554 not connected");
        if (m_errorMessage.isEmpty())
            m_errorMessage = m_lastResponse;
        Display(QStringLiteral("< ") + m_lastResponse);
        return false;
    }
    m_stage = 2;
    return true;
}

bool TCustomSmtpClient::MailSteps() {
    if (m_stage == 0 && !Connect())
        return false;
    SendCommand("MAIL FROM:<" + commandArgument(m_fromName) + ">");
    if (CheckReply(250, false))
        return false;
    for (const QString& rcpt : std::as_const(m_rcptName)) {
        SendCommand("RCPT TO:<" + commandArgument(rcpt) + ">");
        if (CheckReply(250, 251, false))
            return false;
    }
    SendCommand("DATA");
    if (CheckReply(354, false))
        return false;

    SendHeaderLine("From: " + AddressValue(m_hdrFrom, 6));
    SendHeaderLine("To: " + AddressValue(m_hdrTo, 4));
    SendHeaderLine("Subject: " + SubjectValue(m_hdrSubject, 9));
    SendHeaderLine("Mime-Version: 1.0");
    SendHeaderLine("Content-Type: text/plain; charset=\"" + commandArgument(m_charSet) + '"');
    SendHeaderLine("Content-Transfer-Encoding: quoted-printable");
    SendHeaderLine("Date: " + MailDate(QDateTime::currentDateTime()).toLatin1());
    SendCommand(QByteArray());

    QString dataError;
    bool more = true;
    for (int lineNum = 1; more && m_stage == 2; ++lineNum) {
        QByteArray line;
        try {
            TriggerGetData(lineNum, line, more);
        } catch (const std::exception& e) {
            dataError = QString::fromUtf8(e.what());
        } catch (...) {
            dataError = QStringLiteral("The message text could not be read");
        }
        if (!dataError.isEmpty() || !more)
            break;
        SendDataLines(line);
        QCoreApplication::processEvents();
    }
    if (!dataError.isEmpty()) {
        // Ending the data now would deliver a cut message as if it were whole;
        // dropping the connection makes the server discard it.
        if (m_errorMessage.isEmpty())
            m_errorMessage = dataError;
        Display(dataError);
        m_socket->Abort();
        return false;
    }
    SendCommand(".");
    return !CheckReply(250, false);
}

bool TCustomSmtpClient::Quit() {
    if (m_stage == 0)
        return true;
    bool result = false;
    try {
        SendCommand("QUIT");
        try {
            result = GetResponse() == 221;
        } catch (...) {
            result = false;
        }
    } catch (...) {
        result = false;
    }
    m_stage = 0;
    try {
        m_socket->Close();
    } catch (...) {
    }
    return result;
}

} // namespace quorvia::mail
