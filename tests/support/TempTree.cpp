#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>

namespace quorvia::test {

TempTree::TempTree() {
    m_dir.setAutoRemove(false);
}

TempTree::~TempTree() {
    removeTree(QFile::encodeName(m_dir.path()));
}

void TempTree::removeTree(const QByteArray& path) {
    if (path.isEmpty())
        return;
    nftw(
        path.constData(),
        [](const char* entry, const struct stat*, int, FTW*) {
            ::remove(entry);
            return 0; // go on with the rest whatever one entry did
        },
        16, FTW_DEPTH | FTW_PHYS);
}

QString TempTree::write(const QString& relative, const QByteArray& bytes) const {
    const QString full = at(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return full;
}

QString TempTree::mkdir(const QString& relative) const {
    QDir().mkpath(at(relative));
    return at(relative);
}

QByteArray TempTree::read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempTree::exists(const QString& path) {
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

void TempTree::setMtime(const QString& path, time_t seconds, long nanoseconds) {
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

time_t TempTree::mtime(const QString& path) {
    struct stat st {};
    lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mtime;
}

} // namespace quorvia::test
