#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Small records the program keeps of its own runs, in text files of groups of
// Name=value lines in the state folder (stateFolder()); not the user's settings.
namespace quorvia::platform {

std::optional<QString> readStateValue(const QString& file, const QString& group,
                                      const QString& name);
// 0, or EACCES when the file cannot be written, EIO when writing it failed.
int writeStateValues(const QString& file, const QString& group,
                     const QList<std::pair<QString, QString>>& values);
int removeStateGroup(const QString& file, const QString& group);

} // namespace quorvia::platform
