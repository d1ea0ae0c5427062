#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace quorvia::cli {

// The log of one unattended run, in the state folder's "logs" folder, named by
// its start time; the oldest go when more than KeepLogs are there.
class RunLog {
public:
    static constexpr int KeepLogs = 20;

    RunLog();
    QString path() const { return m_file.fileName(); }
    void line(const QString& text);
    void lines(const QStringList& texts);

    // The folder the logs are kept in.
    static QString folder();

private:
    QFile m_file;
};

} // namespace quorvia::cli
