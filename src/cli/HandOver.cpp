#include "cli/HandOver.h"

#include "platform/InstanceName.h"

#include <QLocalSocket>

namespace quorvia::cli {

namespace {
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 10000; // the window may be busy with a box
} // namespace

bool HandOver(const QString& executable, const QStringList& schemeFiles) {
    QLocalSocket window;
    window.connectToServer(platform::instanceServerName(platform::instanceName(executable)));
    if (!window.waitForConnected(kConnectMs))
        return false;
    QByteArray request;
    for (const QString& file : schemeFiles)
        request += "run " + file.toUtf8() + "\n";
    window.write(request + "end\n");
    if (!window.waitForBytesWritten(kConnectMs))
        return false;
    while (!window.canReadLine())
        if (!window.waitForReadyRead(kAnswerMs))
            return false;
    return window.readLine() == "queued\n";
}

} // namespace quorvia::cli
