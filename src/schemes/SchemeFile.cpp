#include "schemes/SchemeFile.h"

#include "app/Alerts.h"
#include "engine/RunDisplay.h"
#include "engine/RunFormat.h"
#include "platform/FileSystem.h"
#include "platform/LocaleText.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvia {

namespace {
constexpr int kMaxReadBytes = 1 << 20; // a scheme file is a few hundred bytes

// Opens for reading to test the file is there; 0 or errno.
int probeOpen(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

QByteArray readHead(const QByteArray& path, int& error) {
    QByteArray data;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return data;
    }
    error = 0;
    data.resize(kMaxReadBytes);
    qsizetype got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    data.truncate(got);
    return data;
}
} // namespace

QStringList SchemeFileLines::toList() const {
    return {folder1, folder2, lastRun, runMode, folders, totalTime, size, errors, files};
}

QByteArray EncodeSchemeFile(const SchemeFileLines& lines) {
    QByteArray out;
    for (const QString& line : lines.toList())
        out += line.toUtf8() + "\r\n";
    return out;
}

QStringList DecodeSchemeLines(const QByteArray& bytes, int maxLines) {
    QStringList lines;
    QByteArray current;
    bool inLine = false;
    for (qsizetype i = 0; i < bytes.size() && lines.size() < maxLines; ++i) {
        const char c = bytes[i];
        if (c == 0x1A)
            break;
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            lines << QString::fromUtf8(current);
            current.clear();
            inLine = false;
            continue;
        }
        current += c;
        inLine = true;
    }
    if (inLine && lines.size() < maxLines)
        lines << QString::fromUtf8(current);
    return lines;
}

SchemeFileLines NewSchemeLines(const QString& folder1, const QString& folder2) {
    return {folder1.trimmed(), folder2.trimmed(), "Never", "0", "0", "N/A", " ", "0", "0"};
}

QString SchemeFileMessage(SchemeFileOp op, int error, const QString& path) {
    const bool write = op == SchemeFileOp::Write;
    const QString head = write ? "Scheme File Was NOT Updated. " : "Scheme File Was NOT Read. ";
    const QString file = (write ? "\n" : "\n\n") + QStringLiteral("File: ") + path;
    switch (platform::classifyError(error)) {
    case platform::ErrorClass::NotFound:
        return head + "File Not Found" + file;
    case platform::ErrorClass::ShareViolation:
        return head + "Share Violation" + file;
    case platform::ErrorClass::NoSpace:
        if (write)
            return head + "No Space Available" + file;
        break;
    default:
        break;
    }
    return head + "File Error (" + QString::number(error) + ")" + file;
}

void WriteSchemeFile(AppState& state, UserPort& port) {
    const SchemeRecord& slot = state.queue.slots[0];
    RunState& run = state.run;
    const QByteArray path = QFile::encodeName(slot.SchemeFile);

    auto fail = [&](int error) {
        ++run.RunErrors;
        ShowAlert(port, state.settings,
                  SchemeFileMessage(SchemeFileOp::Write, error, slot.SchemeFile),
                  AlertKind::Warning);
    };

    const int probe = probeOpen(path);
    if (probe != 0 && platform::classifyError(probe) != platform::ErrorClass::AlreadyExists) {
        fail(probe);
        return;
    }

    const QDateTime now = QDateTime::currentDateTime();
    QString elapsed = run.RunElapsedText;
    if (state.flags.AbortRequested)
        elapsed += " (Aborted)";
    SchemeFileLines lines{slot.Folder1,
                          slot.Folder2,
                          platform::shortDate(now.date()) + "   " + platform::longTime(now.time()),
                          QString::number(slot.RunMode),
                          QString::number(run.FolderCount),
                          elapsed,
                          "(" + FormatSize(double(run.ByteTotal)) + ")",
                          QString::number(run.RunErrors),
                          QString::number(run.FilesCopied)};
    // Written through a temporary file: a full disk keeps the old record whole.
    const int written = platform::replaceFileContents(path, EncodeSchemeFile(lines));
    if (written != 0) {
        fail(written);
        return;
    }

    port.setText(Field::Label5, platform::dateTime(now));
    ShowRunCounters(run, port);
    port.setText(Field::Label14, QString());
    port.setText(Field::Label10, elapsed);
}

void LoadSchemeFile(AppState& state, UserPort& port, const QString& path) {
    if (path.isEmpty())
        return;
    int error = 0;
    const QByteArray bytes = readHead(QFile::encodeName(path), error);
    if (error != 0 && platform::classifyError(error) != platform::ErrorClass::AlreadyExists) {
        ShowAlert(port, state.settings, SchemeFileMessage(SchemeFileOp::Read, error, path),
                  AlertKind::Warning);
        ClearLastRunDisplay(port);
        return;
    }
    QStringList lines = DecodeSchemeLines(bytes, 9);
    while (lines.size() < 9)
        lines << QString();
    auto count = [](const QString& line) {
        return platform::formatCount(platform::parseNumber(line));
    };

    port.setText(Field::Edit1, lines[0].trimmed());
    port.setText(Field::Edit2, lines[1].trimmed());
    port.setText(Field::Label5, lines[2]);
    port.setText(Field::Label4,
                 platform::parseNumber(lines[3]) == 99 ? "File(s) Zipped:" : "File(s) Copied:");
    port.setText(Field::Label8, count(lines[4]));
    port.setText(Field::Label10, lines[5].trimmed());
    port.setText(Field::Label11, lines[6].trimmed());
    port.setText(Field::Label13, count(lines[7]));
    port.setText(Field::Label20, count(lines[8]));
}

void ClearLastRunDisplay(UserPort& port) {
    port.setText(Field::Label5, "Never");
    port.setText(Field::Label11, QString());
    port.setText(Field::Label8, "0");
    port.setText(Field::Label13, "0");
    port.setText(Field::Label20, "0");
    port.setText(Field::Label10, "N/A");
}

} // namespace quorvia
