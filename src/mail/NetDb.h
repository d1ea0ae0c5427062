#pragma once

#include <QString>
#include <QStringList>
#include <netinet/in.h>

namespace quorvia::mail {

// Name resolution over the system's hosts, services and protocols databases.

// A dotted IPv4 address (also the short forms "127.1" and the like).
bool ParseDotted(const QString& text, in_addr& address);
QString DottedText(in_addr address);

// Protocol number of a protocol name ("tcp", "udp", ...).
bool LookupProtocol(const QString& name, int& number);
// Port (host byte order) of a service name for a protocol name (empty: any).
bool LookupService(const QString& name, const QString& proto, int& port);
// Every IPv4 address of a host, dotted, in the resolver's order; returns 0 or a
// socket error number (11001 and up for resolver failures). Blocks.
int LookupHost(const QString& name, QStringList& addresses);

// A dotted address or a host name as an address; raises ESocketException with
// "SetAddr: Cannot convert host address '...'" when it cannot be resolved.
in_addr ResolveHost(const QString& Name);
// The local host name; raises ESocketException "Winsock.GetHostName failed".
QString LocalHostName();

} // namespace quorvia::mail
