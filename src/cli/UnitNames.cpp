#include "cli/UnitNames.h"

#include <QDir>
#include <QStringList>

namespace quorvia::cli {

QString EscapeUnitName(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ':' || c == '_' || (c == '.' && i > 0);
        if (c == '/')
            out += '-';
        else if (plain)
            out += QLatin1Char(c);
        else
            out += QString::asprintf("\\x%02x", unsigned(uint8_t(c)));
    }
    return out;
}

QString EscapeUnitPath(const QString& path) {
    const QStringList parts = QDir::cleanPath(path).split('/', Qt::SkipEmptyParts);
    return parts.isEmpty() ? QStringLiteral("-") : EscapeUnitName(parts.join('/'));
}

QString UnitValue(const QString& text) {
    return QString(text).replace('%', "%%");
}

QString ExecArgument(const QString& text) {
    QString quoted = UnitValue(text);
    quoted.replace('\\', "\\\\").replace('"', "\\\"").replace('$', "$$");
    return '"' + quoted + '"';
}

QString ShellArgument(const QString& text) {
    // cron ends the command at an unescaped '%'.
    return "'" + QString(text).replace('\'', "'\\''").replace('%', "\\%") + "'";
}

} // namespace quorvia::cli
