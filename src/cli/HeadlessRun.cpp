#include "cli/HeadlessRun.h"

#include "app/AppState.h"
#include "app/RunFormat.h"
#include "app/SettingsLoader.h"
#include "cli/RunLog.h"
#include "cli/SchemeNames.h"
#include "commands/RunQueue.h"
#include "commands/RunTexts.h"
#include "commands/UnattendedPresenter.h"
#include "commands/ZipBoxesOnDialogs.h"
#include "engine/PathChecks.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <unistd.h>

namespace quorvia::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onSignal(int) {
    g_interrupted = 1;
}

void catchSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM})
        sigaction(signal, &action, nullptr);
}

// A box's text on one line.
QString oneLine(const QString& text) {
    return text.split('\n', Qt::SkipEmptyParts).join(' ');
}

// The scheme as the window's boxes would hold it after loading it.
SchemeRecord loadScheme(const QString& file) {
    const QStringList lines = ReadSchemeLines(file, 2);
    return {file, lines[0].trimmed(), lines[1].trimmed()};
}

// The zip component's library: the installed one, else beside the program.
void findZipLibrary(zip::TZipMaster& zip) {
    const QString installed = QCoreApplication::applicationDirPath() + "/../lib/quorvia";
    if (QFileInfo::exists(installed + "/" + zip::TZipMaster::LibraryFileName()))
        zip.SetDLLDirectory(QDir::cleanPath(installed));
}

// A progress line that rewrites itself, on a terminal only.
class ProgressLine {
public:
    explicit ProgressLine(QTextStream& out) : m_out(out), m_on(::isatty(STDOUT_FILENO) == 1) {}
    void show(const RunState& run, const QString& name) {
        const int64_t now = platform::tickCount();
        if (!m_on || now - m_shownAt < 200)
            return;
        m_shownAt = now;
        m_out << "\r" << name << ": " << run.FilesCopied << " file(s), "
              << FormatSize(double(run.ByteTotal)) << "\x1b[K" << Qt::flush;
        m_shown = true;
    }
    void clear() {
        if (m_shown)
            m_out << "\r\x1b[K" << Qt::flush;
        m_shown = false;
    }

private:
    QTextStream& m_out;
    bool m_on;
    bool m_shown = false;
    int64_t m_shownAt = 0;
};

QString summary(const AppState& state, const QString& name, bool zipped) {
    const RunState& run = state.run;
    if (run.refused) {
        const QString why = RefusalText(run.refused, {}, {}).section('\n', 0, 0);
        return name + ": refused" + (why.isEmpty() ? QString() : ": " + why);
    }
    QString text = name + ": " + QString::number(run.FilesCopied) +
                   (zipped ? " file(s) zipped, " : " file(s) copied, ") +
                   QString::number(run.FolderCount) + " folder(s), " +
                   QString::number(run.RunErrors) + " error(s), " +
                   FormatSize(double(run.ByteTotal)) + ", " + run.RunElapsedText;
    if (run.aborted)
        text += " (Aborted)";
    return text;
}

} // namespace

HeadlessOutcome RunHeadless(const QStringList& schemeFiles, const std::optional<QString>& password,
                            QTextStream& out, QTextStream& err) {
    catchSignals();
    HeadlessOutcome outcome;
    RunLog log;
    outcome.logPath = log.path();
    auto say = [&](const QString& text) {
        const QString line = oneLine(text);
        err << line << Qt::endl;
        log.line(line);
    };
    auto tell = [&](const QString& line) {
        out << line << Qt::endl;
        log.line(line);
    };

    AppState state;
    ReadSettings(state.settings);
    state.ProgramFolder = platform::programFolder();
    state.schemeList.setFolder(SchemeFolder(state.settings));
    UnattendedPort port(say);
    ZipBoxesOnDialogs zipBoxes(port);
    zip::TZipMaster zip;
    zip.SetBoxes(&zipBoxes);
    findZipLibrary(zip);

    ProgressLine progress(out);
    QString current;
    UnattendedPresenter::Hooks hooks;
    hooks.say = [&](const QString& text) {
        progress.clear();
        say(text);
    };
    hooks.interrupted = [] { return g_interrupted != 0; };
    hooks.onProgress = [&](const RunProgress& step) {
        if (step.kind == RunProgress::FileDone)
            progress.show(state.run, current);
    };
    hooks.onWait = [&](const FolderPair& pair) {
        tell(current + ": waiting: Folder 2 (" + pair.destination +
             ") is being written by another Quorvia run");
    };
    UnattendedPresenter presenter(state, hooks, password);

    for (const QString& file : schemeFiles) {
        current = SchemeName(file);
        if (g_interrupted) {
            tell(current + ": not run (Aborted)");
            outcome.status = std::max<int>(outcome.status, Aborted);
            continue;
        }
        const SchemeRecord scheme = loadScheme(file);
        tell(current + ": starting: " + scheme.Folder1 + " -> " + scheme.Folder2);
        // Nobody is there to say yes: Folder 2 is made when nothing holds the
        // scheme back (its drive there, and the one it was on at its last run).
        const FolderPair pair = FolderPair::fromTexts(scheme.Folder1, scheme.Folder2);
        if (pair.complete() && !QFileInfo(pair.destination).exists() &&
            !CheckRunnable(file, pair, platform::posixFileIo()))
            QDir().mkpath(pair.destination);

        state.queue.slots[0] = scheme;
        state.queue.QueueLast = 0;
        state.run.refused = {};
        state.run.aborted = false;
        presenter.startScheme();
        RunBatch(state, port, presenter, platform::posixFileIo(), &zip);
        progress.clear();

        if (!pair.complete()) { // dropped from the queue, with the batch's message
            outcome.status = std::max<int>(outcome.status, Refused);
            outcome.summaries << current + ": refused: no entry for both folders";
            tell(outcome.summaries.last());
            continue;
        }
        int status = Done;
        if (g_interrupted) // during the scheme, or while it waited its turn
            status = Aborted;
        else if (state.run.refused)
            status = Refused;
        else if (state.run.RunErrors > 0)
            status = FilesNotCopied;
        outcome.status = std::max(outcome.status, status);
        outcome.summaries << summary(state, current, state.settings.ZipArchiveFlag);
        tell(outcome.summaries.last());
        if (!state.run.refused)
            log.lines(state.run.WorkList.lines());
    }
    return outcome;
}

} // namespace quorvia::cli
