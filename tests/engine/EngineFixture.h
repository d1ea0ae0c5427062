#pragma once

#include "ScriptedPort.h"
#include "TempTree.h"
#include "app/AppState.h"
#include "commands/RunPresenter.h"
#include "engine/TreeWalk.h"
#include "platform/FileIo.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <stdexcept>
#include <unistd.h>

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
    // Runs before each step of a copy (kernel or buffer), counted from 1.
    std::function<void(int step)> duringCopy;
    int copySteps = 0;
    int findDataError = 0; // the file system cannot be asked for holes
    int setModeError = 0;  // what a FUSE or network file system answers
    int setTimeError = 0;
    bool timesIgnored = false; // set, but the file system keeps its own (a cloud mount)
    int unnamedError = 0;      // no files without a name (FAT, most FUSE)
    // Drives: folders that are there (besides the real ones) and which are mounted.
    std::set<QByteArray> fakeFolders;
    std::function<bool(const QByteArray&)> mounted;
    int foldersMade = 0;
    int filesOpened = 0; // sources opened for reading
    // Runs after each folder made, with its name: lets a test swap in a link.
    std::function<void(const QByteArray&)> afterMakeFolder;
    // Below this folder names ignore letter case, stored in lower case, as a
    // case-blind file system (FAT) does.
    QByteArray caseBlindBelow;

    int openForReading(int folder, const QByteArray& name, int& fd,
                       platform::FileStatus& status) override {
        ++filesOpened;
        return PosixFileIo::openForReading(folder, name, fd, status);
    }
    int read(int fd, char* buffer, size_t size, size_t& got) override {
        step();
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
        step();
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
    int findData(int fd, int64_t from, int64_t& start, int64_t& end) override {
        return findDataError ? findDataError : PosixFileIo::findData(fd, from, start, end);
    }
    int setMode(int fd, unsigned mode) override {
        return setModeError ? setModeError : PosixFileIo::setMode(fd, mode);
    }
    int setTime(int fd, const timespec& time) override {
        if (timesIgnored)
            return 0;
        return setTimeError ? setTimeError : PosixFileIo::setTime(fd, time);
    }
    bool isFolder(const QByteArray& path) override {
        return fakeFolders.count(path) > 0 || PosixFileIo::isFolder(path);
    }
    bool isMountPoint(const QByteArray& path) override {
        return mounted ? mounted(path) : PosixFileIo::isMountPoint(path);
    }

    // The look-ups by name, folded where the destination is case-blind.
    int makeFolder(int folder, const QByteArray& name) override {
        const int error = PosixFileIo::makeFolder(folder, fold(folder, name));
        if (error == 0) {
            ++foldersMade;
            if (afterMakeFolder)
                afterMakeFolder(name);
        }
        return error;
    }
    int openFolder(int folder, const QByteArray& name, int& fd) override {
        return PosixFileIo::openFolder(folder, fold(folder, name), fd);
    }
    int statAt(int folder, const QByteArray& name, platform::FileStatus& status) override {
        return PosixFileIo::statAt(folder, fold(folder, name), status);
    }
    int replace(int folder, const QByteArray& from, const QByteArray& to) override {
        return PosixFileIo::replace(folder, fold(folder, from), fold(folder, to));
    }
    int remove(int folder, const QByteArray& name) override {
        return PosixFileIo::remove(folder, fold(folder, name));
    }
    int setLinkTime(int folder, const QByteArray& name, const timespec& time) override {
        return PosixFileIo::setLinkTime(folder, fold(folder, name), time);
    }
    int createTemporary(int folder, QByteArray& name, int& fd) override {
        const int error = PosixFileIo::createTemporary(folder, name, fd);
        return error == 0 ? storeFolded(folder, name) : error;
    }
    int createUnnamed(int folder, int& fd) override {
        return unnamedError ? unnamedError : PosixFileIo::createUnnamed(folder, fd);
    }
    int linkUnnamed(int fd, int folder, const QByteArray& name) override {
        return PosixFileIo::linkUnnamed(fd, folder, fold(folder, name));
    }
    int createTemporaryLink(int folder, const QByteArray& target, QByteArray& name) override {
        const int error = PosixFileIo::createTemporaryLink(folder, target, name);
        return error == 0 ? storeFolded(folder, name) : error;
    }

private:
    void step() {
        ++copySteps;
        if (duringCopy)
            duringCopy(copySteps);
    }
    bool caseBlind(int folder) const {
        if (caseBlindBelow.isEmpty() || folder < 0)
            return false;
        char link[4096];
        const QByteArray fdPath = "/proc/self/fd/" + QByteArray::number(folder);
        const ssize_t n = readlink(fdPath.constData(), link, sizeof(link));
        return n > 0 && QByteArray(link, n).startsWith(caseBlindBelow);
    }
    QByteArray fold(int folder, const QByteArray& name) const {
        return caseBlind(folder) ? name.toLower() : name;
    }
    int storeFolded(int folder, const QByteArray& name) {
        const QByteArray lower = fold(folder, name);
        return lower == name ? 0 : PosixFileIo::replace(folder, name, lower);
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
        q.slots[++q.QueueLast] = SchemeRecord{file, folder1, folder2};
        return file;
    }

    // One walk of `mode` from `from` into `to`, told through the window's
    // presenter as a run tells it.
    void walk(RunMode mode, const QString& from, const QString& to) {
        WindowPresenter presenter(state, port);
        WalkTree({FolderPair{from, to}, mode, CopyOptions::of(state.settings)}, state.run,
                 presenter, io);
        presenter.walkEnded(mode, state.run);
    }

    // A file of several copy steps, whatever the steps' size.
    static constexpr qsizetype kSeveralSteps = 96 * TreeWalk::BlockSize;

    // Names of the copies in the making left in a folder.
    static QStringList leftovers(const QString& folder) {
        return QDir(folder).entryList({".quorvia.*"}, QDir::Files | QDir::Hidden | QDir::System);
    }
};

} // namespace quorvia::test
