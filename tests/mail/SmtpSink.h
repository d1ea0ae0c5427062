#pragma once

#include "ScriptServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

// Where smtp_sink.py lives and the interpreter that has aiosmtpd.
#ifndef MAIL_TEST_DIR
#error "MAIL_TEST_DIR must name tests/mail"
#endif
#ifndef PYTHON3
#define PYTHON3 "/usr/bin/python3"
#endif

namespace quorvia::test {

// aiosmtpd on 127.0.0.1 in a child process that stops with the test. Every
// message it accepts is msgN.eml (as received) and msgN.json (as a mail
// reader sees it) in its folder.
class SmtpSink {
public:
    SmtpSink() : port(FreePort()) {
        process.start(PYTHON3,
                      {MAIL_TEST_DIR "/smtp_sink.py", folder.path(), QString::number(port)});
        ready = process.waitForReadyRead(15000) && process.readAll().contains("ready");
    }
    ~SmtpSink() {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QByteArray file(const QString& name) const {
        QFile f(folder.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QJsonObject json(int n) const {
        return QJsonDocument::fromJson(file(QStringLiteral("msg%1.json").arg(n))).object();
    }
    QByteArray message(int n) const { return file(QStringLiteral("msg%1.eml").arg(n)); }
    // How many messages arrived.
    int count() const {
        return int(QDir(folder.path()).entryList({"msg*.eml"}, QDir::Files).size());
    }
    QString errors() { return QString::fromUtf8(process.readAllStandardError()); }

    QTemporaryDir folder;
    QProcess process;
    int port;
    bool ready = false;
};

// Header lines of a message (up to the first empty line), unfolded.
inline QByteArrayList HeaderLines(const QByteArray& message) {
    QByteArrayList headers;
    for (const QByteArray& line : message.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.isEmpty())
            break;
        if ((l.startsWith(' ') || l.startsWith('\t')) && !headers.isEmpty())
            headers.last() += l;
        else
            headers << l;
    }
    return headers;
}

} // namespace quorvia::test
