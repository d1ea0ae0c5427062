#include "BenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quorvia::bench {

namespace {
QString benchFolder;
// The same, for the signal handler: it may not allocate.
char benchFolderBytes[4096];
// The peer running now: stopped first, or it would go on writing into the
// trees while they are removed.
volatile pid_t runningPeer = 0;

// An interrupted bench takes its trees with it: they can hold 100,000 files.
void removeAndExit(int signal) {
    if (const pid_t peer = runningPeer; peer > 0) {
        kill(peer, SIGKILL);
        waitpid(peer, nullptr, 0);
    }
    if (benchFolderBytes[0] != '\0') {
        const pid_t child = fork();
        if (child == 0) {
            execl("/bin/rm", "rm", "-rf", benchFolderBytes, static_cast<char*>(nullptr));
            _exit(127);
        }
        if (child > 0)
            waitpid(child, nullptr, 0);
    }
    _exit(128 + signal);
}
} // namespace

void setBenchFolder(const QString& folder) {
    benchFolder = folder;
    const QByteArray bytes = QFile::encodeName(folder);
    if (size_t(bytes.size()) >= sizeof benchFolderBytes)
        fail("bench folder path too long");
    std::memcpy(benchFolderBytes, bytes.constData(), size_t(bytes.size()) + 1);
    struct sigaction action {};
    action.sa_handler = removeAndExit;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    if (!benchFolder.isEmpty())
        QDir(benchFolder).removeRecursively();
    std::exit(2);
}

namespace {

pid_t start(const QStringList& args) {
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0)
        fail(QString("cannot start ") + argv[0]);
    runningPeer = pid;
    return pid;
}

void checkExit(const QStringList& args, int status) {
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(args.join(' ') + " failed");
}

// The parent and the peak resident KiB of a live process.
bool processPeak(const QString& pid, pid_t& parent, double& kib) {
    QFile status("/proc/" + pid + "/status");
    if (!status.open(QIODevice::ReadOnly))
        return false;
    parent = 0;
    kib = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("PPid:"))
            parent = pid_t(line.mid(5).trimmed().toInt());
        else if (line.startsWith("VmHWM:"))
            kib = line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return true;
}

} // namespace

double runTool(const QStringList& args) {
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = start(args);
    int status = 0;
    waitpid(pid, &status, 0);
    runningPeer = 0;
    const double seconds = timer.nsecsElapsed() / 1e9;
    checkExit(args, status);
    return seconds;
}

double peakMemoryKiB(const QStringList& args) {
    const pid_t pid = start(args);
    std::map<pid_t, double> peaks{{pid, 0}};
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        // Every process whose parent is one of the command's own.
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            bool number = false;
            const pid_t other = pid_t(entry.toInt(&number));
            pid_t parent = 0;
            double kib = 0;
            if (!number || !processPeak(entry, parent, kib))
                continue;
            if (peaks.count(other) || peaks.count(parent))
                peaks[other] = std::max(peaks[other], kib);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    runningPeer = 0;
    checkExit(args, status);
    double total = 0;
    for (const auto& [process, kib] : peaks)
        total += kib;
    return total;
}

void clear(const QString& folder) {
    runTool({"rm", "-rf", folder});
    runTool({"sync"});
}

void writeFile(const QString& path, qint64 size, quint64 seed) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        fail("cannot write " + path);
    std::vector<quint64> block(std::min<qint64>(size, 1 << 20) / 8 + 1);
    for (qint64 done = 0; done < size; done += qint64(block.size()) * 8) {
        for (quint64& word : block) { // xorshift
            seed ^= seed << 13;
            seed ^= seed >> 7;
            seed ^= seed << 17;
            word = seed;
        }
        f.write(reinterpret_cast<const char*>(block.data()),
                std::min<qint64>(qint64(block.size()) * 8, size - done));
    }
}

void makeTree(const QString& root, int folders, int files, qint64 size) {
    for (int d = 0; d < folders; ++d) {
        const QString folder = root + QString("/dir%1").arg(d, 4, 10, QChar('0'));
        QDir().mkpath(folder);
        for (int f = 0; f < files; ++f)
            writeFile(folder + QString("/file%1.dat").arg(f, 4, 10, QChar('0')), size,
                      quint64(d) * 7919 + quint64(f) + 1);
    }
}

QStringList makeMixedTree(const QString& root, int files, int folders, quint64 seed) {
    std::mt19937_64 random(seed);
    QStringList folderPaths{root};
    for (int d = 1; d < folders; ++d) {
        const QString& parent = folderPaths[int(random() % quint64(folderPaths.size()))];
        folderPaths << parent + QString("/folder%1").arg(d);
    }
    for (const QString& folder : folderPaths)
        QDir().mkpath(folder);
    std::lognormal_distribution<double> sizes(std::log(4096.0), 1.8);
    QStringList paths;
    for (int f = 0; f < files; ++f) {
        const QString& folder = folderPaths[int(random() % quint64(folderPaths.size()))];
        const QString name = QString(f % 20 == 0 ? ".file%1.dat" : "file%1.dat").arg(f);
        const qint64 size = std::min<qint64>(qint64(sizes(random)), qint64(64) << 20);
        writeFile(folder + "/" + name, size, random() | 1);
        paths << folder + "/" + name;
    }
    return paths;
}

void setModified(const QString& path, qint64 seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), 0}};
    if (utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        fail("cannot touch " + path);
}

double best(const std::vector<double>& rounds) {
    return *std::min_element(rounds.begin(), rounds.end());
}

void detail(const char* name, const std::vector<double>& ours, const std::vector<double>& theirs) {
    std::fprintf(stderr, "  %s ours:", name);
    for (double v : ours)
        std::fprintf(stderr, " %.4f", v);
    std::fprintf(stderr, "  theirs:");
    for (double v : theirs)
        std::fprintf(stderr, " %.4f", v);
    std::fprintf(stderr, "\n");
}

void print(const char* name, double value, double target) {
    std::printf("%s ratio %.2f target %g\n", name, value, target);
    std::fflush(stdout);
}

} // namespace quorvia::bench
