#pragma once

#include "app/Settings.h"

#include <QString>
#include <QStringList>

namespace quorvia::cli {

// The folder the window lists schemes from, with the settings it reads.
QString SchemeFolder(const Settings& settings);

// A name as the list shows it: the exact name, else the one name that matches
// it ignoring case. The scheme file's path, or empty with `error` set.
QString FindScheme(const QString& folder, const QString& name, QString& error);

} // namespace quorvia::cli
