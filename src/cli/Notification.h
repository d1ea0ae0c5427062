#pragma once

#include <QString>

namespace quorvia::cli {

// A desktop notification through the freedesktop notification service, where
// a session bus is there; false when nobody could be told this way.
bool Notify(const QString& summary, const QString& body);

} // namespace quorvia::cli
