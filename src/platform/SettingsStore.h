#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Per-user "registry": a key such as Software\Org\Rest is the QSettings of
// organisation Org and application Rest. Each call opens and closes the store.
namespace quorvia::platform {

std::optional<QString> readValue(const QString& key, const QString& name);
// 0, or EACCES when the store cannot be written, EIO when writing it failed.
int writeValue(const QString& key, const QString& name, const QString& text);
// Several values in their order, written out together once; as writeValue.
int writeValues(const QString& key, const QList<std::pair<QString, QString>>& values);
// Where the values of `key` are kept (for messages and tests).
QString storeLocation(const QString& key);

} // namespace quorvia::platform
