// Times the synch engine against the usual tools on the same trees, in one
// run, and prints "<name> ratio <x> target <y>" for every figure.
#include "BenchSupport.h"
#include "HeadlessPort.h"
#include "app/AppState.h"
#include "app/SettingsLoader.h"
#include "commands/RunQueue.h"
#include "engine/TreeWalk.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using namespace quorvia;
using namespace quorvia::bench;

namespace {

struct Engine {
    AppState state;
    bench::HeadlessPort port;
    QString schemes;

    // The program's defaults, as a first start loads them: the space check's
    // pre-scan on, only newer files, hidden and system files included.
    explicit Engine(const QString& work) : schemes(work + "/schemes") {
        QDir().mkpath(schemes);
        LoadSettings(state.settings, port, QString());
        state.settings.SchemeDir = schemes;
        if (!state.settings.CheckPrior || !state.settings.CopyOnlyNewer)
            fail("the defaults changed: the figures would not be the program's own");
    }

    // Seconds the engine needs, inside the event loop.
    double measure(const std::function<void()>& work) {
        double seconds = 0;
        QTimer::singleShot(0, [&] {
            QElapsedTimer timer;
            timer.start();
            work();
            seconds = timer.nsecsElapsed() / 1e9;
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
        return seconds;
    }

    void queue(const QString& from, const QString& to) {
        const QString file = schemes + "/Bench.sch";
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(EncodeSchemeFile(NewSchemeLines(from, to)));
        f.close();
        state.queue.slots[0] = SchemeRecord{file, from, to};
        state.queue.QueueLast = 0;
    }

    double run(const QString& from, const QString& to,
               platform::FileIo& io = platform::posixFileIo()) {
        queue(from, to);
        const double seconds = measure([&] { RunQueue(state, port, io); });
        if (state.run.RunErrors != 0 || !port.boxes.isEmpty())
            fail("engine reported: " + port.boxes.join(" | "));
        return seconds;
    }

    double scan(const QString& from, const QString& to) {
        queue(from, to);
        WindowPresenter presenter(state, port);
        const double seconds = measure([&] {
            state.run.resetCounters();
            WalkTree({FolderPair::fromTexts(from, to), RunMode::SizeScan,
                      CopyOptions::of(state.settings)},
                     state.run, presenter);
        });
        state.queue.QueueLast = -1;
        return seconds;
    }
};

// Copy into an empty destination, engine against cp -a (with `peerOptions`).
double firstCopyRatio(Engine& engine, const QString& source, const QString& work, int rounds,
                      const QStringList& peerOptions = {}) {
    std::vector<double> ours, theirs;
    for (int i = 0; i < rounds + 1; ++i) { // the first round only warms the caches
        auto oursOnce = [&] {
            clear(work + "/ours");
            return engine.run(source, work + "/ours");
        };
        auto theirsOnce = [&] {
            clear(work + "/theirs");
            return runTool(QStringList{"cp", "-a"} + peerOptions +
                           QStringList{source, work + "/theirs"});
        };
        // Each goes first in turn, so neither always meets the other's write-back.
        double a = 0, b = 0;
        if (i % 2 == 0) {
            a = oursOnce();
            b = theirsOnce();
        } else {
            b = theirsOnce();
            a = oursOnce();
        }
        if (i > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    detail(qPrintable(QFileInfo(source).fileName()), ours, theirs);
    return best(ours) / best(theirs);
}

// `count` files of `size` bytes in one folder.
void makeFlatFolder(const QString& folder, int count, qint64 size) {
    QDir().mkpath(folder);
    for (int f = 0; f < count; ++f)
        writeFile(folder + QString("/file%1.dat").arg(f, 6, 10, QChar('0')), size, quint64(f) + 1);
}

// A file of `size` bytes holding `pieces` runs of `piece` bytes spread out, holes between.
void writeSparseFile(const QString& path, qint64 size, int pieces, qint64 piece) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
        fail("cannot write " + path);
    quint64 seed = 99;
    std::vector<quint64> block(size_t(piece / 8));
    for (int p = 0; p < pieces; ++p) {
        for (quint64& word : block) {
            seed ^= seed << 13;
            seed ^= seed >> 7;
            seed ^= seed << 17;
            word = seed;
        }
        f.seek(size / pieces * p);
        f.write(reinterpret_cast<const char*>(block.data()), piece);
    }
}

qint64 allocatedBytes(const QString& path) {
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        fail("cannot look at " + path);
    return qint64(st.st_blocks) * 512;
}

int memoryChild(const QString& from, const QString& to) {
    Engine engine(QFileInfo(to).path());
    engine.run(from, to);
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) // peak resident size, KiB
            std::printf("%s %d\n", line.mid(6).trimmed().split(' ').value(0).constData(),
                        engine.state.run.FilesCopied);
    return 0;
}

// First copy, no-op run and size scan of 100 folders of 100 files of 4 KiB.
void t1Figures(Engine& engine, const QString& work) {
    makeTree(work + "/t1", 100, 100, 4096);
    print("t1_first_copy_vs_cp", firstCopyRatio(engine, work + "/t1", work, 4), 1.5);
    clear(work + "/theirs");

    // Nothing changed: a second run against rsync's no-op.
    clear(work + "/ours");
    engine.run(work + "/t1", work + "/ours");
    runTool({"rsync", "-a", work + "/t1/", work + "/theirs/"});
    std::vector<double> ours, theirs;
    for (int i = 0; i < 6; ++i) {
        const double a = engine.run(work + "/t1", work + "/ours");
        const double b = runTool({"rsync", "-a", work + "/t1/", work + "/theirs/"});
        if (engine.state.run.FilesCopied != 0)
            fail("the no-op run copied files");
        if (i > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    detail("noop", ours, theirs);
    print("t1_noop_run_vs_rsync", best(ours) / best(theirs), 2);

    // The size scan (against the copy made above) and du -sb of the source.
    ours.clear();
    theirs.clear();
    for (int i = 0; i < 6; ++i) {
        const double a = engine.scan(work + "/t1", work + "/ours");
        const double b = runTool({"du", "-sb", "-x", work + "/t1"});
        if (i > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    detail("scan", ours, theirs);
    print("t1_size_scan_vs_du", best(ours) / best(theirs), 3);
    // The fair peer: rsync's dry run looks at both trees, as the scan does.
    const std::vector<double> scans = ours;
    theirs.clear();
    for (int i = 0; i < 6; ++i) {
        const double b = runTool({"rsync", "-a", "--dry-run", work + "/t1/", work + "/ours/"});
        if (i > 0)
            theirs.push_back(b);
    }
    detail("scan vs dry run", scans, theirs);
    print("t1_size_scan_vs_rsync_dry_run", best(scans) / best(theirs), 1.0);
    clear(work + "/ours");
    clear(work + "/theirs");
    clear(work + "/t1");
}

// 1 GiB holding 1 MiB of data: the copy keeps the holes, as cp does.
void sparseFigures(Engine& engine, const QString& work) {
    const QString file = work + "/sparse/big.img";
    writeSparseFile(file, qint64(1) << 30, 16, 64 << 10);
    if (allocatedBytes(file) > 2 << 20)
        fail("this file system does not keep holes; no sparse figure here");
    print("sparse_first_copy_vs_cp",
          firstCopyRatio(engine, work + "/sparse", work, 6, {"--sparse=auto"}), 1.5);
    runTool({"cmp", file, work + "/ours/big.img"});
    print("sparse_copy_allocated_mib", double(allocatedBytes(work + "/ours/big.img")) / (1 << 20),
          2);
    clear(work + "/sparse");
}

// Peak memory of a whole first run over `folders` x 100 small files, in its own process.
double memoryRun(const QString& work, int folders) {
    makeTree(work + "/mem", folders, 100, 64);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--memory-run", work + "/mem", work + "/memcopy"});
    child.waitForFinished(-1);
    const QList<QByteArray> reply = child.readAllStandardOutput().trimmed().split(' ');
    const double peakKiB = reply.value(0).toDouble();
    if (child.exitCode() != 0 || peakKiB <= 0 ||
        reply.value(1) != QByteArray::number(folders * 100))
        fail("the run over many small files did not complete");
    clear(work + "/memcopy");
    return peakKiB;
}

void memoryFigure(const QString& work) {
    print("peak_memory_mib_100k_files", memoryRun(work, 1000) / 1024, 32);
    clear(work + "/mem");
    // 200,000 files against all of rsync's processes together.
    const double ours = memoryRun(work, 2000);
    const double theirs = peakMemoryKiB({"rsync", "-a", work + "/mem/", work + "/memcopy/"});
    std::fprintf(stderr, "  200k files peak KiB ours: %.0f  rsync (all processes): %.0f\n", ours,
                 theirs);
    print("peak_memory_200k_files_vs_rsync", ours / theirs, 1.0);
    clear(work + "/mem");
    clear(work + "/memcopy");
}

void abortFigure(Engine& engine, const QString& work) {
    // Abort while a 256 MiB file is being copied: a timer of the event loop asks,
    // the engine must have stopped (the copy given up) within 100 ms.
    writeFile(work + "/t4/big.bin", 256 << 20, 42);
    std::fprintf(stderr, "  abort latencies:");
    double worst = 0;
    for (int i = 0; i < 3; ++i) {
        clear(work + "/ours");
        QElapsedTimer asked;
        double latency = -1;
        engine.port.onBox = [&](const QString& text) {
            if (text.startsWith("Quorvia Was Aborted") && asked.isValid())
                latency = asked.nsecsElapsed() / 1e6;
        };
        // Asked by a timer a few pumps into the copy (pumps come every few
        // milliseconds; a fixed time would miss a copy that takes less).
        int pumpsCopying = 0;
        engine.port.onPump = [&] {
            if (engine.port.text(Field::Caption).endsWith('%') && ++pumpsCopying == 3)
                QTimer::singleShot(1, Qt::PreciseTimer, [&] {
                    asked.start();
                    engine.state.flags.AbortRequested = true;
                });
        };
        engine.queue(work + "/t4", work + "/ours");
        engine.measure([&] { RunQueue(engine.state, engine.port); });
        engine.port.onPump = nullptr;
        engine.port.boxes.clear();
        if (latency < 0 || QFile::exists(work + "/ours/big.bin"))
            fail("the abort did not land in the middle of the copy");
        worst = std::max(worst, latency);
        std::fprintf(stderr, " %.2f ms", latency);
    }
    engine.port.onBox = nullptr;
    std::fprintf(stderr, "\n");
    print("abort_latency_ms_256mib_copy", worst, 100);
    clear(work + "/t4");
}

// A destination that takes `rate` bytes a second, as a slow stick does: each
// write or kernel copy returns when the device would have taken its bytes.
// (Where cgroup v2's io.max cannot be had, this models it for the engine.)
class ThrottledIo : public platform::PosixFileIo {
public:
    explicit ThrottledIo(double rate) : m_rate(rate) { m_clock.start(); }
    int write(int fd, const char* data, size_t size, size_t& written) override {
        const int error = PosixFileIo::write(fd, data, size, written);
        settle(written);
        return error;
    }
    int copyRange(int in, int out, size_t size, size_t& moved) override {
        const int error = PosixFileIo::copyRange(in, out, size, moved);
        settle(moved);
        return error;
    }

private:
    void settle(size_t bytes) {
        const qint64 now = m_clock.nsecsElapsed();
        m_busyUntil = std::max(m_busyUntil, now) + qint64(double(bytes) / m_rate * 1e9);
        std::this_thread::sleep_for(std::chrono::nanoseconds(m_busyUntil - now));
    }
    double m_rate;
    QElapsedTimer m_clock;
    qint64 m_busyUntil = 0;
};

// A 16 MiB copy to a destination of 10 MB/s: the longest the window waits
// for its events, and how long an abort takes from the moment it is asked
// (a timer due then, handled at the next pump) to the end of the walk.
void throttledFigures(Engine& engine, const QString& work) {
    writeFile(work + "/t5/big.bin", 16 << 20, 5);
    ThrottledIo slow(10e6);
    QElapsedTimer clock;
    double longestGap = 0;
    qint64 lastPump = 0, gapAt = 0;
    engine.port.onPump = [&] {
        const qint64 now = clock.nsecsElapsed();
        if ((now - lastPump) / 1e6 > longestGap) {
            longestGap = (now - lastPump) / 1e6;
            gapAt = lastPump;
        }
        lastPump = now;
    };
    // A shared virtual machine stalls any process now and then (a loop that
    // sleeps 5 ms sees gaps of 100 ms here): the figure is the median round's
    // longest gap; every round is shown.
    std::vector<double> gaps;
    std::fprintf(stderr, "  longest pump gap of each round:");
    for (int i = 0; i < 5; ++i) {
        clear(work + "/ours");
        engine.queue(work + "/t5", work + "/ours");
        lastPump = 0;
        longestGap = 0;
        engine.measure([&] {
            clock.start();
            RunQueue(engine.state, engine.port, slow);
        });
        if (engine.state.run.FilesCopied != 1)
            fail("the throttled copy did not complete");
        std::fprintf(stderr, " %.2f ms (at %.0f ms)", longestGap, gapAt / 1e6);
        gaps.push_back(longestGap);
    }
    std::sort(gaps.begin(), gaps.end());
    std::fprintf(stderr, "\n");
    engine.port.onPump = nullptr;
    print("longest_pump_gap_ms_throttled_10mbs", gaps[gaps.size() / 2], 25);

    constexpr int dueMs = 400; // well inside the copy
    double worst = 0;
    std::fprintf(stderr, "  throttled abort latencies:");
    for (int i = 0; i < 3; ++i) {
        clear(work + "/ours");
        double latency = -1;
        engine.port.onBox = [&](const QString& text) {
            if (text.startsWith("Quorvia Was Aborted"))
                latency = clock.nsecsElapsed() / 1e6 - dueMs;
        };
        engine.queue(work + "/t5", work + "/ours");
        engine.measure([&] {
            clock.start();
            QTimer::singleShot(dueMs, Qt::PreciseTimer,
                               [&] { engine.state.flags.AbortRequested = true; });
            RunQueue(engine.state, engine.port, slow);
        });
        engine.port.boxes.clear();
        if (latency < 0 || QFile::exists(work + "/ours/big.bin"))
            fail("the throttled abort did not land in the middle of the copy");
        worst = std::max(worst, latency);
        std::fprintf(stderr, " %.2f ms", latency);
    }
    engine.port.onBox = nullptr;
    std::fprintf(stderr, "\n");
    print("abort_latency_ms_throttled_10mbs", worst, 25);
    clear(work + "/t5");
    clear(work + "/ours");
}

// Reruns with the program's defaults (pre-scan on) against rsync -a on a mixed
// tree: nothing changed, and 5% of the files given a newer time. Rounds are
// interleaved, each side first in turn.
void rerunFigures(Engine& engine, const QString& work, const QString& where) {
    const QString source = work + "/mixed", ours = work + "/ours", theirs = work + "/theirs";
    std::fprintf(stderr, "mixed tree on %s\n", qPrintable(where));
    const QStringList files = makeMixedTree(source, 20000, 500, 2024);
    engine.run(source, ours);
    runTool({"rsync", "-a", source + "/", theirs + "/"});
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    auto rounds = [&](const QString& name, bool touch) {
        std::vector<double> a, b;
        for (int i = 0; i < 6; ++i) {
            int touched = 0;
            for (qsizetype f = i; touch && f < files.size(); f += 20, ++touched)
                setModified(files[f], now + 10 * (i + 1));
            double x = 0, y = 0;
            auto rsync = [&] { return runTool({"rsync", "-a", source + "/", theirs + "/"}); };
            if (i % 2 == 0) {
                x = engine.run(source, ours);
                y = rsync();
            } else {
                y = rsync();
                x = engine.run(source, ours);
            }
            if (engine.state.run.FilesCopied != touched)
                fail(name + ": copied " + QString::number(engine.state.run.FilesCopied) +
                     " files, not " + QString::number(touched));
            if (i > 0) {
                a.push_back(x);
                b.push_back(y);
            }
        }
        detail(qPrintable(name), a, b);
        print(qPrintable(name), best(a) / best(b), 1.0);
    };
    rounds("noop_rerun_defaults_vs_rsync_" + where, false);
    rounds("touched_5pc_rerun_defaults_vs_rsync_" + where, true);
    clear(source);
    clear(ours);
    clear(theirs);
}

bool onTmpfs(const QString& folder) {
    struct statfs fs {};
    return statfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_type == TMPFS_MAGIC;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home; // settings, statistics and locks of these runs stay here
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        setenv(variable, QFile::encodeName(home.path()).constData(), 1);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "--memory-run")
        return memoryChild(args.value(2), args.value(3));
    if (args.value(1) == "--one-run") { // for strace: one run with the defaults, no peers
        Engine engine(QFileInfo(args.value(3)).path());
        engine.run(args.value(2), args.value(3));
        std::printf("%d files copied\n", engine.state.run.FilesCopied);
        return 0;
    }
    // "--only t1,sparse" runs some groups: t1, t2, t3, sparse, memory, abort,
    // throttled, rerun.
    const QStringList only = args.value(1) == "--only" ? args.value(2).split(',') : QStringList();
    auto wanted = [&](const char* group) { return only.isEmpty() || only.contains(group); };

    const QString base = qEnvironmentVariable("QUORVIA_BENCH_DIR", QDir::tempPath());
    QTemporaryDir workDir(base + "/quorvia-bench-XXXXXX");
    const QString work = workDir.path();
    setBenchFolder(work);
    std::fprintf(stderr, "making trees in %s\n", qPrintable(work));
    Engine engine(work);

    if (wanted("t1"))
        t1Figures(engine, work);
    if (wanted("t2")) {
        makeTree(work + "/t2", 1, 8, 64 << 20);
        print("t2_first_copy_vs_cp", firstCopyRatio(engine, work + "/t2", work, 4), 1.0);
        clear(work + "/t2");
    }
    if (wanted("t3")) {
        // Many small files in one folder: the cost per file, not per byte.
        makeFlatFolder(work + "/t3", 100000, 1024);
        // Two rounds and a warm-up: each writes 100,000 files twice, which on
        // a disk takes minutes, and the rounds differ little.
        print("t3_first_copy_vs_cp", firstCopyRatio(engine, work + "/t3", work, 2), 1.5);
        clear(work + "/t3");
    }
    if (wanted("sparse"))
        sparseFigures(engine, work);
    clear(work + "/ours");
    clear(work + "/theirs");
    if (wanted("memory"))
        memoryFigure(work);
    if (wanted("abort"))
        abortFigure(engine, work);
    if (wanted("throttled"))
        throttledFigures(engine, work);
    if (wanted("rerun")) {
        // The disk is where the bench folder is; tmpfs is /dev/shm when it is one.
        rerunFigures(engine, work, onTmpfs(work) ? "tmpfs" : "disk");
        if (!onTmpfs(work) && onTmpfs("/dev/shm")) {
            QTemporaryDir shm("/dev/shm/quorvia-bench-XXXXXX");
            setBenchFolder(shm.path());
            rerunFigures(engine, shm.path(), "tmpfs");
            setBenchFolder(work);
        }
    }
    return 0;
}
