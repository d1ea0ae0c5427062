// The command line against the engine it drives: `quorvia --run` of T1 (100
// folders of 100 files of 4 KiB) headless, against the same copy run inside
// this process, and the time from the command's start to its first copied file.
//   cli_bench QUORVIA [--only cli,...]
#include "BenchSupport.h"
#include "HeadlessPort.h"
#include "app/AppState.h"
#include "commands/RunQueue.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace quorvia;
using namespace quorvia::bench;

namespace {

void writeScheme(const QString& file, const QString& from, const QString& to) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(EncodeSchemeFile(NewSchemeLines(from, to))) <= 0)
        fail("cannot write " + file);
}

// The engine's own copy, as the engine benchmark times it.
double engineRun(const QString& schemes, const QString& from, const QString& to) {
    AppState state;
    Settings& s = state.settings;
    s.CopyOnlyNewer = s.CopyHidden = s.CopySystem = true;
    s.SchemeDir = schemes;
    HeadlessPort port;
    writeScheme(schemes + "/Engine.sch", from, to);
    state.queue.slots[0] = SchemeRecord{schemes + "/Engine.sch", from, to};
    state.queue.QueueLast = 0;
    ::sync();
    QElapsedTimer timer;
    timer.start();
    RunQueue(state, port);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (state.run.RunErrors != 0)
        fail("the engine reported errors");
    return seconds;
}

// Spawns the command; its pid.
pid_t spawn(const QString& quorvia, const QString& scheme) {
    const QByteArray program = QFile::encodeName(quorvia);
    const QByteArray name = scheme.toUtf8();
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>("--run"),
                    const_cast<char*>(name.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ) != 0)
        fail("cannot start " + quorvia);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void finish(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("quorvia --run did not end with status 0");
}

double commandRun(const QString& quorvia, const QString& scheme) {
    ::sync(); // the last round's write-back is not this one's
    QElapsedTimer timer;
    timer.start();
    finish(spawn(quorvia, scheme));
    return timer.nsecsElapsed() / 1e9;
}

// Milliseconds from the command's start until the copy of first.dat is in `to`.
double firstFileMs(const QString& quorvia, const QString& to) {
    QDir().mkpath(to);
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, QFile::encodeName(to).constData(), IN_CREATE | IN_MOVED_TO);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = spawn(quorvia, "First");
    bool seen = false;
    alignas(inotify_event) char events[4096];
    pollfd ready{watch, POLLIN, 0};
    while (!seen && poll(&ready, 1, 10000) == 1) {
        const ssize_t got = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            seen = seen || (event->len > 0 && QByteArray(event->name) == "first.dat");
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    close(watch);
    finish(pid);
    if (!seen)
        fail("no file was copied in 10 s");
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QStringList only = args.value(1) == "--only" ? args.value(2).split(',') : QStringList();
    if (args.isEmpty() || (!only.isEmpty() && !only.contains("cli")))
        return args.isEmpty() ? 64 : 0;
    const QString quorvia = args[0];

    const QString base = qEnvironmentVariable("QUORVIA_BENCH_DIR", QDir::tempPath());
    QTemporaryDir home(base + "/quorvia-cli-bench-XXXXXX");
    const QString work = home.path();
    setBenchFolder(work);
    // The command and this process share one private user: settings, schemes, logs.
    for (const char* d : {"config/Plimsow", "data/Quorvia", "state", "runtime"})
        QDir().mkpath(work + "/" + d);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(work + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", QFile::encodeName(work + "/data").constData(), 1);
    setenv("XDG_STATE_HOME", QFile::encodeName(work + "/state").constData(), 1);
    setenv("XDG_RUNTIME_DIR", QFile::encodeName(work + "/runtime").constData(), 1);
    QFile::setPermissions(work + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    QFile settings(work + "/config/Plimsow/Quorvia.conf");
    const QString schemes = work + "/data/Quorvia";
    if (!settings.open(QIODevice::WriteOnly) ||
        settings.write(("[General]\nSchemeDir=" + schemes + "/\nCheckPrior=False\n").toUtf8()) <= 0)
        fail("cannot write the settings");
    settings.close();
    QCoreApplication app(argc, argv);

    makeTree(work + "/t1", 100, 100, 4096);
    writeScheme(schemes + "/T1.sch", work + "/t1", work + "/cli");
    std::vector<double> ours, theirs;
    for (int i = 0; i < 7; ++i) { // the first round only warms the caches
        clear(work + "/cli");
        clear(work + "/engine");
        // Each goes first in turn, so neither always meets the other's write-back.
        double a = 0, b = 0;
        if (i % 2 == 0) {
            a = commandRun(quorvia, "T1");
            b = engineRun(schemes, work + "/t1", work + "/engine");
        } else {
            b = engineRun(schemes, work + "/t1", work + "/engine");
            a = commandRun(quorvia, "T1");
        }
        if (i > 0) {
            ours.push_back(a);
            theirs.push_back(b);
        }
    }
    detail("t1 quorvia --run", ours, theirs);
    print("t1_command_run_vs_engine", best(ours) / best(theirs), 1.05);

    QDir().mkpath(work + "/one");
    writeFile(work + "/one/first.dat", 4096, 1);
    writeScheme(schemes + "/First.sch", work + "/one", work + "/first");
    std::vector<double> firsts;
    for (int i = 0; i < 6; ++i) {
        clear(work + "/first");
        firsts.push_back(firstFileMs(quorvia, work + "/first"));
    }
    firsts.erase(firsts.begin());
    print("command_start_to_first_copy_ms", best(firsts), 100);
    return 0;
}
