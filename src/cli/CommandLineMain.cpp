#include "cli/CommandLineMain.h"

#include "app/ProgramInfo.h"
#include "app/SettingsLoader.h"
#include "cli/CommandLine.h"
#include "cli/HandOver.h"
#include "cli/HeadlessRun.h"
#include "cli/Notification.h"
#include "cli/PasswordFile.h"
#include "cli/Schedules.h"
#include "cli/SchemeListing.h"
#include "cli/SchemeNames.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>

namespace quorvia::cli {

namespace {

// Folder 2 of a scheme file, as its second line holds it.
QString folder2Of(const QString& schemeFile) {
    return ReadSchemeLines(schemeFile, 2)[1].trimmed();
}

int run(const Request& request, const QString& folder, QTextStream& out, QTextStream& err) {
    int status = Done;
    QStringList files;
    for (const QString& name : request.names) {
        QString error;
        const QString file = FindScheme(folder, name, error);
        if (file.isEmpty()) {
            err << error << Qt::endl;
            status = Refused;
        } else {
            files << file;
        }
    }
    if (files.isEmpty())
        return status;

    std::optional<QString> password;
    if (request.passwordFile) {
        QString error;
        password = ReadPasswordFile(*request.passwordFile, error);
        if (!password) {
            err << error << Qt::endl;
            return BadUsage;
        }
    }
    QStringList names;
    for (const QString& file : files)
        names << SchemeName(file);
    if (HandOver(QCoreApplication::arguments().value(0), files)) {
        out << "Handed to the open Quorvia window: " << names.join(", ") << Qt::endl;
        return status;
    }

    const HeadlessOutcome outcome = RunHeadless(files, password, out, err);
    out << "Log: " << outcome.logPath << Qt::endl;
    if (outcome.status != Done) {
        const QString summary = outcome.status == Aborted   ? "Quorvia backup aborted"
                                : outcome.status == Refused ? "Quorvia backup refused"
                                                            : "Quorvia backup with errors";
        Notify(summary, outcome.summaries.join('\n') + "\nLog: " + outcome.logPath);
    }
    return std::max(status, outcome.status);
}

} // namespace

int RunCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quorvia");
    QCoreApplication::setApplicationVersion(QString(kProgramVersion).mid(1));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const Request request = Parse(QCoreApplication::arguments());
    switch (request.action) {
    case Request::Usage:
        err << "quorvia: " << request.error << "\n\n" << request.helpText << Qt::flush;
        return BadUsage;
    case Request::Help:
        out << request.helpText << Qt::flush;
        return Done;
    case Request::Version:
        out << "quorvia " << QCoreApplication::applicationVersion() << Qt::endl;
        return Done;
    case Request::Window:
        return BadUsage;
    default:
        break;
    }

    Settings settings;
    ReadSettings(settings);
    const QString folder = SchemeFolder(settings);
    if (request.action == Request::List) {
        ListSchemes(folder, out);
        return Done;
    }
    if (request.action == Request::Run)
        return run(request, folder, out, err);

    QString error;
    const QString file = FindScheme(folder, request.names.value(0), error);
    if (file.isEmpty()) {
        err << error << Qt::endl;
        return Refused;
    }
    return SetSchedule(file, folder2Of(file), request.when, QCoreApplication::applicationFilePath(),
                       out, err);
}

} // namespace quorvia::cli
