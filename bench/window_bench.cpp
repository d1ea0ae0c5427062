// The engine driven through the real main window (offscreen) against the same
// engine headless, the abort button's latency, and the time to a usable window.
// Prints "<name> ratio <x> target <y>" for every figure.
#include "BenchSupport.h"
#include "HeadlessPort.h"
#include "app/AppState.h"
#include "commands/RunQueue.h"
#include "schemes/SchemeFile.h"
#include "ui/Browse.h"
#include "ui/CopyFrm.h"
#include "ui/Fonts.h"
#include "ui/Main.h"
#include "ui/Temp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using namespace quorvia;
using namespace quorvia::bench;

namespace {

// One window with its run windows; questions answered by the headless port.
struct Window {
    AppState state;
    HeadlessPort answers;
    TForm1 form1{state, answers};
    TForm2 browser{state, form1.port(), &form1};
    TForm3 workList{state, &form1};
    TForm4 progress{&form1};
    QString schemes;

    explicit Window(const QString& work) : schemes(work + "/schemes") {
        form1.setWindows(&browser, &workList, &progress);
        QDir().mkpath(schemes);
        Settings& s = state.settings;
        s.CopyOnlyNewer = s.CopyHidden = s.CopySystem = true;
        s.SchemeDir = schemes + "/";
        form1.show();
    }

    void save(const QString& from, const QString& to) {
        QFile f(schemes + "/Bench.sch");
        f.open(QIODevice::WriteOnly);
        f.write(EncodeSchemeFile(NewSchemeLines(from, to)));
        f.close();
        state.schemeList.setFolder(schemes);
        SelectSchemeByName(state.schemeList, "Bench");
        LoadSchemeFile(state.settings, form1.port(), state.schemeList.selectedPath());
    }

    QAbstractButton* button(const char* name) { return form1.findChild<QAbstractButton*>(name); }

    // Seconds from the click on "&Synch (Go)" to the end of the run.
    double run(const QString& from, const QString& to) {
        save(from, to);
        QElapsedTimer timer;
        timer.start();
        button("Button4")->click();
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (state.run.RunErrors != 0 || !answers.boxes.isEmpty())
            fail("the window's run reported: " + answers.boxes.join(" | "));
        return seconds;
    }

    // The same scheme straight through the engine, with the window's pump.
    double runHeadless(const QString& from, const QString& to) {
        save(from, to);
        state.queue.slots[0] = SchemeRecord{state.schemeList.selectedPath(), from, to};
        state.queue.QueueLast = 0;
        QElapsedTimer timer;
        timer.start();
        RunQueue(state, answers);
        return timer.nsecsElapsed() / 1e9;
    }
};

double windowRatio(Window& window, const QString& source, const QString& work, int rounds) {
    std::vector<double> ours, theirs;
    for (int i = 0; i < rounds + 1; ++i) {
        auto viaWindow = [&] {
            clear(work + "/window");
            return window.run(source, work + "/window");
        };
        auto headless = [&] {
            clear(work + "/headless");
            return window.runHeadless(source, work + "/headless");
        };
        double a = 0, b = 0;
        if (i % 2 == 0) {
            a = viaWindow();
            b = headless();
        } else {
            b = headless();
            a = viaWindow();
        }
        if (i > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    detail(qPrintable(QFileInfo(source).fileName()), ours, theirs);
    return best(ours) / best(theirs);
}

// Milliseconds since this process started, from the kernel's records.
double sinceProcessStart() {
    QFile stat("/proc/self/stat");
    QFile uptime("/proc/uptime");
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double started = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    const double now = uptime.readAll().split(' ').value(0).toDouble();
    return (now - started) * 1000;
}

// A child process: as the program starts, until the start-up step is done.
int startupRun(int argc, char** argv) {
    QApplication app(argc, argv);
    UseProgramFont();
    AppState state;
    HeadlessPort answers;
    TForm1 form1(state, answers);
    TForm2 browser(state, form1.port(), &form1);
    TForm3 workList(state, &form1);
    TForm4 progress(&form1);
    form1.setWindows(&browser, &workList, &progress);
    form1.show();
    form1.startTimers();
    QObject::connect(&form1.Timer1(), &QTimer::timeout, &app, [] {
        // Runs after the start-up step: the window is usable now.
        QTimer::singleShot(0, [] {
            std::printf("%.1f\n", sinceProcessStart());
            QCoreApplication::quit();
        });
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home; // settings and statistics of these runs stay here
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        setenv(name, QFile::encodeName(home.path()).constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc > 1 && QByteArray(argv[1]) == "--startup")
        return startupRun(argc, argv);

    QApplication app(argc, argv);
    UseProgramFont();
    const QString base = qEnvironmentVariable("QUORVIA_BENCH_DIR", QDir::tempPath());
    QTemporaryDir workDir(base + "/quorvia-window-bench-XXXXXX");
    const QString work = workDir.path();
    setBenchFolder(work);
    std::fprintf(stderr, "making trees in %s\n", qPrintable(work));
    makeTree(work + "/t1", 100, 100, 4096);
    makeTree(work + "/t2", 1, 8, 64 << 20);

    Window window(work);
    print("t1_window_run_vs_headless", windowRatio(window, work + "/t1", work, 4), 1.1);
    print("t2_window_run_vs_headless", windowRatio(window, work + "/t2", work, 4), 1.1);
    clear(work + "/t1");
    clear(work + "/t2");

    // The abort button pressed 60 ms into a 256 MiB copy: time to the run's end.
    writeFile(work + "/t4/big.bin", 256 << 20, 42);
    double worst = 0;
    std::fprintf(stderr, "  abort latencies:");
    for (int i = 0; i < 3; ++i) {
        clear(work + "/ours");
        window.save(work + "/t4", work + "/ours");
        QElapsedTimer pressed;
        QTimer::singleShot(60, Qt::PreciseTimer, [&] {
            pressed.start();
            window.button("Button952")->click();
        });
        window.button("Button4")->click();
        const double latency = pressed.isValid() ? pressed.nsecsElapsed() / 1e6 : -1;
        window.answers.boxes.clear();
        if (latency < 0 || QFile::exists(work + "/ours/big.bin"))
            fail("the abort did not land in the middle of the copy");
        worst = std::max(worst, latency);
        std::fprintf(stderr, " %.2f ms", latency);
    }
    std::fprintf(stderr, "\n");
    print("abort_button_latency_ms_256mib_copy", worst, 100);

    // Start-up, in fresh processes: the best of five.
    std::vector<double> starts;
    for (int i = 0; i < 5; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--startup"});
        child.waitForFinished(30000);
        const double ms = child.readAllStandardOutput().trimmed().toDouble();
        if (child.exitCode() != 0 || ms <= 0)
            fail("the start-up run did not finish");
        starts.push_back(ms);
    }
    detail("start-up ms", starts, {});
    print("startup_to_usable_window_ms", best(starts), 300);
    return 0;
}
