#include "ui/SingleInstance.h"

#include "platform/InstanceName.h"

#include <QLocalSocket>

namespace quorvia {

namespace {
constexpr int kAskTimeoutMs = 1000;
constexpr char kRaise[] = "raise\n";
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] { serve(peer); });
            connect(peer, &QLocalSocket::disconnected, this,
                    [this, peer] { m_handed.remove(peer); });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

// One request a connection: "raise", or "run" lines naming scheme files and
// "end", answered "queued" once the window has them.
void SingleInstance::serve(QLocalSocket* peer) {
    QStringList& files = m_handed[peer];
    while (peer->canReadLine()) {
        const QString line = QString::fromUtf8(peer->readLine()).chopped(1);
        if (line == QLatin1String("raise")) {
            Q_EMIT raiseRequested();
        } else if (line.startsWith(QLatin1String("run "))) {
            files << line.mid(4);
            continue;
        } else if (line == QLatin1String("end")) {
            const QStringList handed = files;
            peer->write("queued\n");
            peer->flush();
            Q_EMIT runRequested(handed);
        }
        m_handed.remove(peer);
        peer->disconnectFromServer();
        return;
    }
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

QString SingleInstance::nameFor(const QString& executablePath) {
    return platform::instanceName(executablePath);
}

QString SingleInstance::lockPath() const {
    return platform::instanceLockPath(m_name);
}

QString SingleInstance::serverName() const {
    return platform::instanceServerName(m_name);
}

bool SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(lockPath());
    m_lock->setStaleLockTime(0); // only a lock whose process is gone is stale
    if (m_lock->tryLock(0)) {
        QLocalServer::removeServer(serverName()); // a socket left by a crashed copy
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        m_server.listen(serverName());
        return true;
    }
    if (m_lock->error() != QLockFile::LockFailedError)
        return true; // no lock to be had at all: run, as without a guard
    QLocalSocket ask;
    ask.connectToServer(serverName());
    if (ask.waitForConnected(kAskTimeoutMs)) {
        ask.write(kRaise);
        ask.waitForBytesWritten(kAskTimeoutMs);
        ask.waitForDisconnected(kAskTimeoutMs);
    }
    return false;
}

} // namespace quorvia
