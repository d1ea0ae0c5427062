#pragma once

#include <QString>
#include <optional>

namespace quorvia::cli {

// The zip password kept in a file: its first line. Refused (nullopt, `error`
// set) unless the file is a regular file of this user that nobody else may
// read or write.
std::optional<QString> ReadPasswordFile(const QString& path, QString& error);

} // namespace quorvia::cli
