#include "ui/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace quorvia {

namespace {
constexpr int kAskTimeoutMs = 1000;
constexpr char kRaise[] = "raise\n";
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains("raise"))
                    Q_EMIT raiseRequested();
                peer->disconnectFromServer();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

QString SingleInstance::nameFor(const QString& executablePath) {
    QString base = QFileInfo(executablePath).fileName();
    const qsizetype dot = base.lastIndexOf('.');
    if (dot > 0)
        base.truncate(dot);
    if (base.isEmpty())
        return base;
    return base.left(1) + base.mid(1).toLower();
}

QString SingleInstance::lockPath() const {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return QDir(runtime).filePath(m_name + ".lock");
}

QString SingleInstance::serverName() const {
    return lockPath().chopped(5) + ".instance";
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
