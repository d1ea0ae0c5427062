#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <cstring>

namespace quorvia::cli {

namespace {

const char* const kOwnOptions[] = {"--run", "--list",    "--schedule", "--password-file", "--help",
                                   "-h",    "--version", "-v",         "--help-all"};

} // namespace

bool IsCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : kOwnOptions) {
            const size_t n = std::strlen(option);
            if (std::strncmp(argv[i], option, n) == 0 && (argv[i][n] == 0 || argv[i][n] == '='))
                return true;
        }
    return false;
}

Request Parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Backs up folder trees. Without options it opens the window.\n"
        "A run hands its schemes to the open window when there is one, and runs\n"
        "them here otherwise. Exit status: 0 done, 1 files not copied, 2 scheme\n"
        "refused or not found, 3 aborted, 64 bad usage.");
    const QCommandLineOption run("run", "Run the named schemes, in this order, as one batch.");
    const QCommandLineOption list("list", "List the schemes: folders, last run, schedule.");
    const QCommandLineOption schedule(
        "schedule", "Run scheme NAME daily, weekly, hourly, when its drive is plugged-in, or off.");
    const QCommandLineOption password("password-file",
                                      "Password of zip schemes, read from FILE, which only its "
                                      "owner may read.",
                                      "FILE");
    parser.addOptions({run, list, schedule, password});
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("names", "Scheme names (as the list shows them).", "[NAME...]");

    Request request;
    request.helpText = parser.helpText();
    auto usage = [&](const QString& why) {
        request.action = Request::Usage;
        request.error = why;
        return request;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet("help") || parser.isSet("help-all")) {
        request.action = Request::Help;
        return request;
    }
    if (parser.isSet("version")) {
        request.action = Request::Version;
        return request;
    }
    const int actions =
        int(parser.isSet(run)) + int(parser.isSet(list)) + int(parser.isSet(schedule));
    if (actions != 1)
        return usage("Give one of --run, --list and --schedule.");
    const QStringList names = parser.positionalArguments();
    if (parser.isSet(password)) {
        if (!parser.isSet(run))
            return usage("--password-file goes with --run.");
        request.passwordFile = parser.value(password);
    }
    if (parser.isSet(list)) {
        if (!names.isEmpty())
            return usage("--list takes no names.");
        request.action = Request::List;
    } else if (parser.isSet(run)) {
        if (names.isEmpty())
            return usage("--run needs at least one scheme name.");
        request.action = Request::Run;
        request.names = names;
    } else {
        if (names.size() != 2 || !kScheduleKinds.contains(names[1]))
            return usage("--schedule needs a scheme name and one of: " + kScheduleKinds.join(", ") +
                         ".");
        request.action = Request::Schedule;
        request.names = {names[0]};
        request.when = names[1];
    }
    return request;
}

} // namespace quorvia::cli
