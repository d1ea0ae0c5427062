#include "mail/NetDb.h"

#include "mail/SocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <unistd.h>
#include <vector>

namespace quorvia::mail {
namespace {

// Used only when the system has no services or protocols database, so that
// mail still works on a minimal installation.
struct Known {
    const char* name;
    int value;
};
constexpr Known kProtocols[] = {{"tcp", 6}, {"udp", 17}};
constexpr Known kServices[] = {{"smtp", 25}};

bool fallback(const Known* table, size_t n, const QString& name, int& value) {
    for (size_t i = 0; i < n; ++i)
        if (name.compare(QLatin1String(table[i].name), Qt::CaseInsensitive) == 0) {
            value = table[i].value;
            return true;
        }
    return false;
}

} // namespace

bool ParseDotted(const QString& text, in_addr& address) {
    const QByteArray bytes = text.toLatin1();
    return !text.isEmpty() && inet_aton(bytes.constData(), &address) != 0;
}

QString DottedText(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

bool LookupProtocol(const QString& name, int& number) {
    const QByteArray key = name.toUtf8();
    protoent entry{};
    protoent* found = nullptr;
    std::vector<char> buffer(1024);
    while (getprotobyname_r(key.constData(), &entry, buffer.data(), buffer.size(), &found) ==
               ERANGE &&
           buffer.size() < 65536)
        buffer.resize(buffer.size() * 2);
    if (found) {
        number = found->p_proto;
        return true;
    }
    return fallback(kProtocols, std::size(kProtocols), name, number);
}

bool LookupService(const QString& name, const QString& proto, int& port) {
    const QByteArray key = name.toUtf8();
    const QByteArray protoKey = proto.toUtf8();
    servent entry{};
    servent* found = nullptr;
    std::vector<char> buffer(1024);
    while (getservbyname_r(key.constData(), proto.isEmpty() ? nullptr : protoKey.constData(),
                           &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 65536)
        buffer.resize(buffer.size() * 2);
    if (found) {
        port = ntohs(uint16_t(found->s_port));
        return true;
    }
    return fallback(kServices, std::size(kServices), name, port);
}

int LookupHost(const QString& name, QStringList& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &list);
    if (rc != 0)
        return SocketErrorFromResolver(rc, errno);
    for (addrinfo* a = list; a; a = a->ai_next) {
        const QString text = DottedText(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if (!addresses.contains(text))
            addresses << text;
    }
    freeaddrinfo(list);
    return addresses.isEmpty() ? 11004 : 0;
}

in_addr ResolveHost(const QString& Name) {
    const QString name = Name.trimmed();
    in_addr address{};
    if (ParseDotted(name, address))
        return address;
    QStringList found;
    if (!name.isEmpty() && LookupHost(name, found) == 0 && ParseDotted(found.first(), address))
        return address;
    throw ESocketException(QStringLiteral("SetAddr: Cannot convert host address '%1'").arg(Name));
}

QString LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        throw ESocketException(QStringLiteral("Winsock.GetHostName failed"));
    return QString::fromUtf8(name);
}

} // namespace quorvia::mail
