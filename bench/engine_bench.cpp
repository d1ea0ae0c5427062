// Times the synch engine against the usual tools on the same trees, in one
// run, and prints "<name> ratio <x> target <y>" for every figure.
#include "BenchSupport.h"
#include "HeadlessPort.h"
#include "app/AppState.h"
#include "commands/RunQueue.h"
#include "engine/TreeWalk.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace quorvia;
using namespace quorvia::bench;

namespace {

struct Engine {
    AppState state;
    bench::HeadlessPort port;
    QString schemes;

    explicit Engine(const QString& work) : schemes(work + "/schemes") {
        QDir().mkpath(schemes);
        Settings& s = state.settings;
        s.CopyOnlyNewer = s.CopyHidden = s.CopySystem = true;
        s.SchemeDir = schemes;
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

    double run(const QString& from, const QString& to) {
        queue(from, to);
        const double seconds = measure([&] { RunQueue(state, port); });
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

int memoryRun(const QString& from, const QString& to) {
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

void memoryFigure(const QString& work) {
    // Peak memory of a whole run over 100,000 small files, in its own process.
    makeTree(work + "/mem", 1000, 100, 64);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--memory-run", work + "/mem", work + "/memcopy"});
    child.waitForFinished(-1);
    const QList<QByteArray> reply = child.readAllStandardOutput().trimmed().split(' ');
    const double peakKiB = reply.value(0).toDouble();
    if (child.exitCode() != 0 || peakKiB <= 0 || reply.value(1) != "100000")
        fail("the run over 100,000 files did not complete");
    print("peak_memory_mib_100k_files", peakKiB / 1024, 64);
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
        QTimer::singleShot(60, Qt::PreciseTimer, [&] {
            asked.start();
            engine.state.flags.AbortRequested = true;
        });
        engine.queue(work + "/t4", work + "/ours");
        engine.measure([&] { RunQueue(engine.state, engine.port); });
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

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home; // settings and statistics of these runs stay here
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "--memory-run")
        return memoryRun(args.value(2), args.value(3));
    // "--only t1,sparse" runs some groups: t1, t2, t3, sparse, memory, abort.
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
        print("t2_first_copy_vs_cp", firstCopyRatio(engine, work + "/t2", work, 4), 1.2);
        clear(work + "/t2");
    }
    if (wanted("t3")) {
        // Many small files in one folder: the cost per file, not per byte.
        makeFlatFolder(work + "/t3", 100000, 1024);
        print("t3_first_copy_vs_cp", firstCopyRatio(engine, work + "/t3", work, 4), 1.5);
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
    return 0;
}
