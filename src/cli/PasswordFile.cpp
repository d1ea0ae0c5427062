#include "cli/PasswordFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvia::cli {

std::optional<QString> ReadPasswordFile(const QString& path, QString& error) {
    // Opened first and checked through the open file: no swap between the two.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error = "Cannot read the password file " + path + ": " +
                QString::fromLocal8Bit(strerror(errno));
        return std::nullopt;
    }
    struct stat st {};
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::close(fd);
        error = "The password file " + path +
                " must be a file of yours that only you can read (chmod 600)";
        return std::nullopt;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = "Cannot read the password file " + path;
        return std::nullopt;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        error = "The password file " + path + " holds no password";
        return std::nullopt;
    }
    return QString::fromUtf8(line);
}

} // namespace quorvia::cli
