#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Per-user "registry": a key such as Software\Org\Rest is the QSettings of
// organisation Org and application Rest. Each call opens and closes the store.
namespace quorvia::platform {

std::optional<QString> readValue(const QString& key, const QString& name);
// False when the store could not be written.
bool writeValue(const QString& key, const QString& name, const QString& text);
// Several values in their order, written out together once: false when the
// store could not be written.
bool writeValues(const QString& key, const QList<std::pair<QString, QString>>& values);
// Where the values of `key` are kept (for messages and tests).
QString storeLocation(const QString& key);

} // namespace quorvia::platform
