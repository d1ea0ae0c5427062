#pragma once

#include "ScriptedPort.h"
#include "TempTree.h"
#include "platform/FileIo.h"
#include "schemes/AppState.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

namespace quorvia::test {

// The real file layer with faults on request.
class FaultyIo : public platform::PosixFileIo {
public:
    int64_t readFailsAfter = -1; // bytes read before one read fails with readError
    int readError = EIO;
    int64_t writeFailsAfter = -1; // bytes written before writes fail with writeError
    int writeError = ENOSPC;
    bool throwOnRead = false;
    std::function<std::optional<int64_t>(const QByteArray&)> free; // nullopt: the query fails
    int64_t bytesRead = 0;
    int64_t bytesWritten = 0;

    int read(int fd, char* buffer, size_t size, size_t& got) override {
        if (throwOnRead)
            throw std::runtime_error("injected");
        if (readFailsAfter >= 0 && bytesRead >= readFailsAfter) {
            readFailsAfter = -1;
            got = 0;
            return readError;
        }
        const int error = PosixFileIo::read(fd, buffer, size, got);
        bytesRead += int64_t(got);
        return error;
    }
    int write(int fd, const char* data, size_t size, size_t& written) override {
        if (writeFailsAfter >= 0 && bytesWritten + int64_t(size) > writeFailsAfter) {
            // A short write first, as a filling disk gives, then the error.
            const size_t part = size_t(std::max<int64_t>(0, writeFailsAfter - bytesWritten));
            PosixFileIo::write(fd, data, part, written);
            bytesWritten += int64_t(written);
            return writeError;
        }
        const int error = PosixFileIo::write(fd, data, size, written);
        bytesWritten += int64_t(written);
        return error;
    }
    // Moves bytes up to the next fault and then reports it: a full disk as
    // itself, anything else as EIO, which the engine pins down by the buffer.
    int copyRange(int in, int out, size_t size, size_t& moved) override {
        if (throwOnRead)
            throw std::runtime_error("injected");
        int fault = 0;
        if (readFailsAfter >= 0 && bytesRead + int64_t(size) > readFailsAfter) {
            size = size_t(std::max<int64_t>(0, readFailsAfter - bytesRead));
            fault = EIO;
        }
        if (writeFailsAfter >= 0 && bytesWritten + int64_t(size) > writeFailsAfter) {
            size = size_t(std::max<int64_t>(0, writeFailsAfter - bytesWritten));
            fault = writeError == ENOSPC ? ENOSPC : EIO;
        }
        moved = 0;
        const int error = size > 0 ? PosixFileIo::copyRange(in, out, size, moved) : 0;
        bytesRead += int64_t(moved);
        bytesWritten += int64_t(moved);
        return error != 0 ? error : fault;
    }
    int freeSpace(const QByteArray& path, int64_t& bytes) override {
        if (!free)
            return PosixFileIo::freeSpace(path, bytes);
        const std::optional<int64_t> asked = free(path);
        bytes = asked.value_or(0);
        return asked ? 0 : EIO;
    }
};

struct EngineFixture : ::testing::Test {
    AppState state;
    ScriptedPort port;
    FaultyIo io;
    TempTree tree;

    EngineFixture() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Settings& s = state.settings;
        s.CopyOnlyNewer = true;
        s.CopyHidden = true;
        s.CopySystem = true;
        s.SchemeDir = tree.mkdir("schemes");
        state.schemeList.setFolder(s.SchemeDir);
    }

    // Writes a never-run scheme file and queues it.
    QString queue(const QString& name, const QString& folder1, const QString& folder2) {
        const QString file = tree.write("schemes/" + name + ".sch",
                                        EncodeSchemeFile(NewSchemeLines(folder1, folder2)));
        SchemeQueue& q = state.queue;
        q.slots[++q.QueueLast] = SchemeRecord{file, folder1, folder2, 0};
        return file;
    }

    // Names of the copies in the making left in a folder.
    static QStringList leftovers(const QString& folder) {
        return QDir(folder).entryList({".quorvia.*"}, QDir::Files | QDir::Hidden | QDir::System);
    }
};

} // namespace quorvia::test
