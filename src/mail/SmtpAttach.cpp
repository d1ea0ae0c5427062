// TSmtpClient: the message as MIME multipart with the files as base64 parts.
#include "mail/LineBuffer.h"
#include "mail/MailDate.h"
#include "mail/smtpcli.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>
#include <strings.h>

namespace quorvia::mail {
namespace {

constexpr int kBytesPerLine = 45; // 15 groups of 3 bytes: 60 characters

std::runtime_error cannotRead(const QString& path, const QString& reason) {
    return std::runtime_error(
        QStringLiteral("Can't read attachment '%1': %2").arg(path, reason).toStdString());
}

// A file name as a quoted header parameter: quotes and backslashes escaped,
// line breaks (legal in Linux names) made blanks so they cannot start a header.
QByteArray quotedName(const QString& path) {
    QByteArray name = QFileInfo(path).fileName().toUtf8();
    name.replace('\\', "\\\\").replace('"', "\\\"").replace('\r', ' ').replace('\n', ' ');
    return '"' + name + '"';
}

} // namespace

TSmtpClient::TSmtpClient(QObject* Owner) : TCustomSmtpClient(Owner) {}

TSmtpClient::~TSmtpClient() = default;

bool TSmtpClient::Mail() {
    m_bodyPhase = true;
    m_fileIndex = 0;
    m_bodyLine = 0;
    m_file.reset();
    m_pending.clear();
    // A file that cannot be read fails the send before anything goes out,
    // rather than cutting the message short.
    for (const QString& path : std::as_const(m_emailFiles)) {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly)) {
            SetErrorMessage(
                QStringLiteral("Can't read attachment '%1': %2").arg(path, probe.errorString()));
            Display(ErrorMessage());
            return false;
        }
    }
    if (!m_emailFiles.isEmpty()) {
        m_boundary = "= Multipart Boundary " + BoundaryTime(QDateTime::currentDateTime()).toUtf8();
        m_pending << "This is a multipart MIME message." << QByteArray() << "--" + m_boundary
                  << "Content-Type: text/plain; charset=\"" + CharSet().toUtf8() + '"'
                  << "Content-Transfer-Encoding: quoted-printable" << QByteArray();
    } else {
        m_boundary.clear();
    }
    return TCustomSmtpClient::Mail();
}

void TSmtpClient::TriggerHeaderLine(char* Buffer, int Size) {
    if (!m_boundary.isEmpty()) {
        if (strncasecmp(Buffer, "CONTENT-TYPE:", 13) == 0) {
            CopyToBuffer(Buffer, Size,
                         "Content-Type: multipart/mixed;\r\n\tboundary=\"" + m_boundary + '"');
        } else if (strncasecmp(Buffer, "CONTENT-TRANSFER-ENCODING:", 26) == 0) {
            // The text part declares its own; a multipart body is plain 7-bit.
            Buffer[0] = '\0';
            return;
        }
    }
    TCustomSmtpClient::TriggerHeaderLine(Buffer, Size);
}

void TSmtpClient::TriggerGetData(int LineNum, QByteArray& Line, bool& More) {
    if (!m_pending.isEmpty()) {
        Line = m_pending.takeFirst();
        More = true;
        return;
    }
    if (m_bodyPhase) {
        ++m_bodyLine;
        TCustomSmtpClient::TriggerGetData(m_bodyLine, Line, More);
        if (More)
            return;
        m_bodyPhase = false;
    }
    Q_UNUSED(LineNum);
    if (m_file) {
        const QByteArray bytes = m_file->read(kBytesPerLine);
        if (m_file->error() != QFileDevice::NoError)
            throw cannotRead(m_file->fileName(), m_file->errorString());
        Line = bytes.toBase64();
        if (m_file->atEnd()) {
            m_file.reset();
            if (++m_fileIndex >= m_emailFiles.size())
                m_pending << QByteArray() << "--" + m_boundary + "--";
        }
        More = true;
        return;
    }
    if (m_fileIndex < m_emailFiles.size()) {
        Line.clear();
        OpenNextAttachment();
        More = true;
        return;
    }
    More = false;
}

void TSmtpClient::OpenNextAttachment() {
    const QString path = m_emailFiles.at(m_fileIndex);
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw cannotRead(path, file->errorString());
    m_file = std::move(file);
    const QByteArray name = quotedName(path);
    m_pending << "--" + m_boundary << "Content-Type: application/octet-stream;"
              << "\tname=" + name << "Content-Transfer-Encoding: base64"
              << "Content-Disposition: attachment;"
              << "\tfilename=" + name << QByteArray();
}

} // namespace quorvia::mail
