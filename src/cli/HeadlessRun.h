#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace quorvia::cli {

// Exit statuses of a run; the highest that applies is the command's.
enum Status { Done = 0, FilesNotCopied = 1, Refused = 2, Aborted = 3, BadUsage = 64 };

// What an unattended run ended with, for the exit status and the notification.
struct HeadlessOutcome {
    int status = Done;
    QStringList summaries; // one a scheme
    QString logPath;
};

// Runs the scheme files one after another in this process, each as the
// window's batch runs it, with nobody asked anything. A line on `out` when
// each starts and ends; problems on `err`; everything to the run's log.
// SIGINT and SIGTERM stop the scheme running, which is recorded as aborted,
// and the schemes after it.
HeadlessOutcome RunHeadless(const QStringList& schemeFiles, const std::optional<QString>& password,
                            QTextStream& out, QTextStream& err);

} // namespace quorvia::cli
