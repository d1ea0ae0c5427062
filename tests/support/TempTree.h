#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <ctime>

namespace quorvia::test {

// A temporary folder with helpers to lay out and inspect real files.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    QString path() const { return m_dir.path(); }
    QString at(const QString& relative) const { return m_dir.path() + "/" + relative; }

    // Writes a file (creating parent folders); returns its full path.
    QString write(const QString& relative, const QByteArray& bytes) const;
    QString mkdir(const QString& relative) const;

    static QByteArray read(const QString& path);
    static bool exists(const QString& path);
    // Sets the last-write time, seconds since the epoch.
    static void setMtime(const QString& path, time_t seconds, long nanoseconds = 0);
    static time_t mtime(const QString& path);
    // Removes a tree by the bytes of its names: QDir cannot name those that
    // are not UTF-8, and would leave them (and their folders) behind.
    static void removeTree(const QByteArray& path);

private:
    QTemporaryDir m_dir;
};

} // namespace quorvia::test
