#pragma once

#include <QString>

namespace quorvia {

// The two folders of a backup, as written to: trimmed once where a command
// takes them (from the window's boxes or a queue slot), never again after.
struct FolderPair {
    QString source;      // Folder 1
    QString destination; // Folder 2

    static FolderPair fromTexts(const QString& folder1, const QString& folder2) {
        return {folder1.trimmed(), folder2.trimmed()};
    }
    bool complete() const { return !source.isEmpty() && !destination.isEmpty(); }
};

} // namespace quorvia
