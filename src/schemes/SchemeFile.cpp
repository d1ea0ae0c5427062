#include "schemes/SchemeFile.h"

#include "app/Alerts.h"
#include "app/RunFormat.h"
#include "platform/FileSystem.h"
#include "platform/LocaleText.h"
#include "schemes/LastRunDisplay.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace quorvia {

namespace {
constexpr qsizetype kMaxReadBytes = 1 << 20; // a scheme file is a few hundred bytes
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

namespace {
QStringList padded(QStringList lines, int count) {
    while (lines.size() < count)
        lines << QString();
    return lines;
}
} // namespace

QStringList ReadSchemeLines(const QString& path, int count) {
    QByteArray bytes;
    platform::readFileHead(QFile::encodeName(path), kMaxReadBytes, bytes);
    return padded(DecodeSchemeLines(bytes, count), count);
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
        ShowAlert(port.dialogs, state.settings,
                  SchemeFileMessage(SchemeFileOp::Write, error, slot.SchemeFile),
                  AlertKind::Warning);
    };

    QByteArray unused;
    const int probe = platform::readFileHead(path, 0, unused);
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

    port.view.setText(Field::LastRunDate, platform::dateTime(now));
    ShowRunCounters(run, port.view);
    port.view.setText(Field::SchemeRunning, QString());
    port.view.setText(Field::TotalTime, elapsed);
}

void LoadSchemeFile(const Settings& settings, UserPort& port, const QString& path) {
    if (path.isEmpty())
        return;
    QByteArray bytes;
    const int error = platform::readFileHead(QFile::encodeName(path), kMaxReadBytes, bytes);
    if (error != 0 && platform::classifyError(error) != platform::ErrorClass::AlreadyExists) {
        ShowAlert(port.dialogs, settings, SchemeFileMessage(SchemeFileOp::Read, error, path),
                  AlertKind::Warning);
        ClearLastRunDisplay(port.view);
        return;
    }
    const QStringList lines = padded(DecodeSchemeLines(bytes, 9), 9);
    auto count = [](const QString& line) {
        return platform::formatCount(platform::parseNumber(line));
    };

    port.view.setText(Field::Folder1, lines[0].trimmed());
    port.view.setText(Field::Folder2, lines[1].trimmed());
    port.view.setText(Field::LastRunDate, lines[2]);
    port.view.setText(Field::FilesCopiedCaption,
                      platform::parseNumber(lines[3]) == double(SchemeRecord::Zipped)
                          ? "File(s) Zipped:"
                          : "File(s) Copied:");
    port.view.setText(Field::FoldersCopied, count(lines[4]));
    port.view.setText(Field::TotalTime, lines[5].trimmed());
    port.view.setText(Field::SizeCopied, lines[6].trimmed());
    port.view.setText(Field::Errors, count(lines[7]));
    port.view.setText(Field::FilesCopied, count(lines[8]));
}

QString SchemeName(const QString& schemeFile) {
    const QString file = QFileInfo(schemeFile).fileName();
    return file.left(std::max<qsizetype>(0, file.size() - 4));
}

} // namespace quorvia
