#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvia::cli {

// What the command line asks for. No action at all means the window.
struct Request {
    enum Action { Window, Run, List, Schedule, Help, Version, Usage };
    Action action = Window;
    QStringList names; // --run: scheme names; --schedule: the one name
    QString when;      // --schedule: daily, weekly, hourly, off, plugged-in
    std::optional<QString> passwordFile;
    QString helpText; // for Help, and after a usage error
    QString error;    // Usage: what was wrong
};

// True when the arguments hold one of the program's own options: the command
// line then decides, else the window starts with the arguments untouched.
bool IsCommandLine(int argc, char** argv);

Request Parse(const QStringList& arguments);

inline const QStringList kScheduleKinds{"daily", "weekly", "hourly", "off", "plugged-in"};

} // namespace quorvia::cli
