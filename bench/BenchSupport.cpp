#include "BenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace quorvia::bench {

namespace {
QString benchFolder;
}

void setBenchFolder(const QString& folder) {
    benchFolder = folder;
}

void fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    if (!benchFolder.isEmpty())
        QDir(benchFolder).removeRecursively();
    std::exit(2);
}

double runTool(const QStringList& args) {
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0)
        fail(QString("cannot start ") + argv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(args.join(' ') + " failed");
    return seconds;
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
