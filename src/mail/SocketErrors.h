#pragma once

#include <QString>
#include <exception>

namespace quorvia::mail {

// Socket error numbers as the messages and SocketErrorDesc speak them.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSANO_DATA = 11004;

// The exception of the socket layer: a message text only.
class ESocketException : public std::exception {
public:
    explicit ESocketException(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The fixed text of an error number; "Not a WinSock error" for unknown ones.
QString SocketErrorDesc(int Code);

// errno and resolver (EAI_*) codes in the numbering above.
int SocketErrorFromErrno(int err);
int SocketErrorFromResolver(int eai, int err);

// The calling thread's last socket error, kept the way the error reports read it.
int LastSocketError();
void SetLastSocketError(int code);
// Records the current errno as the last socket error and returns the number.
int SetLastSocketErrorFromErrno();

} // namespace quorvia::mail
