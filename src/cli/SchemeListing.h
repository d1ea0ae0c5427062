#pragma once

#include <QTextStream>

namespace quorvia::cli {

// `quorvia --list`: each scheme of the scheme folder with its folders, its
// last run and its schedule.
void ListSchemes(const QString& folder, QTextStream& out);

} // namespace quorvia::cli
