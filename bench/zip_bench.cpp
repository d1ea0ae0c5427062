// Times the zip component (TZipMaster on libzipdll.so) against Info-ZIP's zip
// and 7-Zip on the engine benchmark's trees, all at level 3, in one run, and
// prints "<name> ratio <x> target <y>" for every figure.
#include "BenchSupport.h"
#include "zip/ZipMstr.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvia::zip;
using quorvia::bench::best;
using quorvia::bench::fail;
using quorvia::bench::makeTree;
using quorvia::bench::print;
using quorvia::bench::writeFile;

namespace {

// Seconds a peer needs, run in `folder`.
double runTool(const QString& folder, const QString& program, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        fail(program + " " + args.join(' ') + " failed: " + p.readAllStandardError());
    return timer.nsecsElapsed() / 1e9;
}

// Seconds our component needs to zip `tree` into `archive`.
double zipOurs(const QString& tree, const QString& archive, int expected) {
    QFile::remove(archive);
    TZipMaster zm;
    QStringList failures;
    zm.OnMessage = [&](TZipMaster*, int code, const QString& text) {
        if (code != 0)
            failures << text;
    };
    zm.SetDLLDirectory(ZIPDLL_DIR);
    zm.SetVerbose(true); // as zip mode sets it
    zm.SetAddCompLevel(3);
    zm.SetAddOptions({AddRecurseDirs, AddDirNames});
    zm.SetFSpecArgs({tree + "/*.*"});
    zm.SetZipFilename(archive);
    QElapsedTimer timer;
    timer.start();
    zm.AddFiles();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (zm.FilesAdded() != expected || !failures.isEmpty())
        fail(QString("our zip added %1 of %2 files: %3")
                 .arg(zm.FilesAdded())
                 .arg(expected)
                 .arg(failures.join(" | ")));
    return seconds;
}

// One tree: time against Info-ZIP (and 7-Zip beside), then the sizes.
void compare(const QString& label, const QString& tree, const QString& work, int files,
             int rounds) {
    const QString ours = work + "/ours.zip", infozip = work + "/infozip.zip",
                  sevenzip = work + "/7zip.zip";
    std::vector<double> a, b, c;
    for (int i = 0; i < rounds + 1; ++i) { // the first round only warms the caches
        QFile::remove(infozip);
        QFile::remove(sevenzip);
        double x = 0, y = 0, z = 0;
        // Each goes first in turn, so none always meets another's write-back.
        switch (i % 3) {
        case 0:
            x = zipOurs(tree, ours, files);
            y = runTool(tree, "zip", {"-q", "-r", "-3", infozip, "."});
            z = runTool(tree, "7zz", {"a", "-tzip", "-mx=3", "-bd", sevenzip, "."});
            break;
        case 1:
            y = runTool(tree, "zip", {"-q", "-r", "-3", infozip, "."});
            z = runTool(tree, "7zz", {"a", "-tzip", "-mx=3", "-bd", sevenzip, "."});
            x = zipOurs(tree, ours, files);
            break;
        default:
            z = runTool(tree, "7zz", {"a", "-tzip", "-mx=3", "-bd", sevenzip, "."});
            x = zipOurs(tree, ours, files);
            y = runTool(tree, "zip", {"-q", "-r", "-3", infozip, "."});
            break;
        }
        if (i > 0) {
            a.push_back(x);
            b.push_back(y);
            c.push_back(z);
        }
    }
    runTool(work, "7zz", {"t", "-bd", ours}); // our archive must read back
    const double oursSize = QFileInfo(ours).size(), infoSize = QFileInfo(infozip).size(),
                 sevenSize = QFileInfo(sevenzip).size();
    std::fprintf(stderr, "  %s seconds (best of %d): ours %.3f  zip %.3f  7zz %.3f\n",
                 qPrintable(label), rounds, best(a), best(b), best(c));
    std::fprintf(stderr, "  %s bytes: ours %.0f  zip %.0f  7zz %.0f\n", qPrintable(label), oursSize,
                 infoSize, sevenSize);
    const QByteArray name = label.toLatin1();
    print((name + "_zip_time_vs_infozip").constData(), best(a) / best(b), 1.2);
    // 7-Zip at the same level, with its default threads (all cores).
    print((name + "_zip_time_vs_7zz").constData(), best(a) / best(c), 1.0);
    print((name + "_zip_size_vs_infozip").constData(), oursSize / infoSize, 1.05);
    print((name + "_zip_size_vs_7zz").constData(), oursSize / sevenSize, 1.02);
    QFile::remove(ours);
    QFile::remove(infozip);
    QFile::remove(sevenzip);
}

// Peak resident size while zipping, in its own process: "<KiB>".
int memoryRun(const QString& tree, const QString& archive, int files) {
    zipOurs(tree, archive, files);
    QFile::remove(archive);
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            std::printf("%s\n", line.mid(6).trimmed().split(' ').value(0).constData());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "--memory-run")
        return memoryRun(args.value(2), args.value(3), args.value(4).toInt());

    const QString base = qEnvironmentVariable("QUORVIA_BENCH_DIR", QDir::tempPath());
    QTemporaryDir workDir(base + "/quorvia-zip-bench-XXXXXX");
    const QString work = workDir.path();
    quorvia::bench::setBenchFolder(work);
    std::fprintf(stderr, "making trees in %s\n", qPrintable(work));
    makeTree(work + "/t1", 100, 100, 4096);
    makeTree(work + "/t2", 1, 8, 64 << 20);

    compare("t1", work + "/t1", work, 10000, 3);
    compare("t2", work + "/t2", work, 8, 2);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--memory-run", work + "/t2", work + "/memory.zip", "8"});
    child.waitForFinished(-1);
    const double peakKiB = child.readAllStandardOutput().trimmed().toDouble();
    if (child.exitCode() != 0 || peakKiB <= 0)
        fail("the memory run did not complete");
    print("peak_memory_mib_t2_zip", peakKiB / 1024, 64);
    return 0;
}
