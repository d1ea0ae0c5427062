#pragma once

#include "zip/ZipMstr.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvia::test {

using namespace quorvia::zip;

// Records the component's boxes and beeps in the order they came.
class RecordingBoxes : public ZipBoxes {
public:
    void plainBox(const QString& text) override { shown << text; }
    void beep() override { shown << "(beep)"; }
    QStringList shown;
};

struct ProgressCall {
    ProgressType type;
    QString name;
    qint64 size;
};

struct MessageCall {
    int code;
    QString text;
};

// A peer program's exit code and output; -1 when it did not finish in time.
struct ToolRun {
    int exitCode = -1;
    QByteArray output;
};

inline ToolRun runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.closeWriteChannel(); // a prompt for a password sees end of input, never waits
    ToolRun run;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.output = p.readAll();
    return run;
}

// Python's zipfile reading the archive: one object per entry, each entry's
// data checked against its CRC.
inline QJsonArray pythonList(const QString& archive) {
    const ToolRun run = runTool(PYTHON3, {ZIP_TEST_DIR "/ziptool.py", "list", archive});
    EXPECT_EQ(run.exitCode, 0) << run.output.constData();
    return QJsonDocument::fromJson(run.output).array();
}

inline QJsonObject entryNamed(const QJsonArray& entries, const QString& name) {
    for (const auto& e : entries)
        if (e.toObject()["name"].toString() == name)
            return e.toObject();
    return {};
}

inline QStringList namesOf(const QJsonArray& entries) {
    QStringList names;
    for (const auto& e : entries)
        names << e.toObject()["name"].toString();
    return names;
}

inline bool sevenZipTests(const QString& archive, const QString& password = "none") {
    const ToolRun run = runTool("7zz", {"t", "-bd", "-p" + password, archive});
    return run.exitCode == 0;
}

inline void pythonMake(const QString& archive, const QString& kind) {
    const ToolRun run = runTool(PYTHON3, {ZIP_TEST_DIR "/ziptool.py", "make", archive, kind});
    ASSERT_EQ(run.exitCode, 0) << run.output.constData();
}

// Writes a file at a byte path (names need not be UTF-8).
inline void writeBytes(const QByteArray& path, const QByteArray& data) {
    const int slash = path.lastIndexOf('/');
    QDir().mkpath(QFile::decodeName(path.left(slash)));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
    ::close(fd);
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void setMtime(const QString& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW),
              0);
}

// Root reads every file whatever its mode; this thread gives that up for a
// while so that a file with mode 000 is unreadable, as for any user.
class WithoutReadOverride {
public:
    WithoutReadOverride() {
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutReadOverride() { syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

// A component wired to recorders, loading the real library from the build.
class ZipFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        zm.SetBoxes(&boxes);
        zm.SetDLLDirectory(ZIPDLL_DIR);
        zm.OnProgress = [this](TZipMaster*, ProgressType type, const QString& name, qint64 size) {
            progress.push_back({type, name, size});
            if (onProgress)
                onProgress(type, name);
        };
        zm.OnMessage = [this](TZipMaster*, int code, const QString& text) {
            messages.push_back({code, text});
        };
    }

    QString at(const QString& relative) const { return dir.path() + "/" + relative; }
    QString write(const QString& relative, const QByteArray& data) const {
        writeBytes(QFile::encodeName(at(relative)), data);
        return at(relative);
    }

    // Adds `specs` to `archive` with the options; returns FilesAdded.
    int add(const QString& archive, const QStringList& specs, AddOpts options, int level = 6) {
        zm.SetAddOptions(options);
        zm.SetAddCompLevel(level);
        zm.SetFSpecArgs(specs);
        zm.SetZipFilename(archive);
        zm.AddFiles();
        EXPECT_FALSE(zm.AddBusy());
        return zm.FilesAdded();
    }

    // Messages with a code other than 0.
    std::vector<MessageCall> failures() const {
        std::vector<MessageCall> out;
        for (const MessageCall& m : messages)
            if (m.code != 0)
                out.push_back(m);
        return out;
    }

    QStringList folderListing() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    TZipMaster zm;
    RecordingBoxes boxes;
    std::vector<ProgressCall> progress;
    std::vector<MessageCall> messages;
    std::function<void(ProgressType, const QString&)> onProgress;
};

} // namespace quorvia::test
