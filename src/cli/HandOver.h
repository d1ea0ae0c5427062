#pragma once

#include <QString>
#include <QStringList>

namespace quorvia::cli {

// Hands scheme files to this user's open window of the program started as
// `executable`, over its single-instance socket. False when no window
// listens (or it did not take them): the run is then the command's own.
bool HandOver(const QString& executable, const QStringList& schemeFiles);

} // namespace quorvia::cli
