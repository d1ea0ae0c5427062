#include "cli/RunLog.h"

#include "platform/ProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace quorvia::cli {

QString RunLog::folder() {
    return platform::stateFolder() + "logs";
}

RunLog::RunLog() {
    QDir dir(folder());
    dir.mkpath(".");
    const QString stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd'T'HH-mm-ss-zzz");
    m_file.setFileName(dir.filePath("run-" + stamp + "-" + QString::number(::getpid()) + ".log"));
    m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    const QFileInfoList logs =
        dir.entryInfoList({"run-*.log"}, QDir::Files, QDir::Name | QDir::Reversed);
    for (qsizetype i = KeepLogs; i < logs.size(); ++i)
        QFile::remove(logs[i].filePath());
}

void RunLog::line(const QString& text) {
    m_file.write(text.toUtf8() + '\n');
    m_file.flush();
}

void RunLog::lines(const QStringList& texts) {
    for (const QString& text : texts)
        m_file.write(text.toUtf8() + '\n');
    m_file.flush();
}

} // namespace quorvia::cli
