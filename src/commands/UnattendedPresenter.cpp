#include "commands/UnattendedPresenter.h"

#include "commands/RunTexts.h"

#include <QDir>
#include <QFileInfo>

namespace quorvia {

AbortIgnore UnattendedPort::askAbortIgnore(const QString& text) {
    m_say(text);
    return AbortIgnore::Ignore;
}

Reply UnattendedPresenter::problem(const RunProblem& p) {
    m_hooks.say(ProblemText(p));
    if (p.kind == RunProblem::DestinationNotWritten) {
        // The window's OK-only box: the scheme stops, and is recorded so.
        m_state.flags.AbortRequested = true;
        return Reply::Abort;
    }
    return Reply::Continue;
}

void UnattendedPresenter::progress(const RunProgress& step) {
    if (m_hooks.onProgress)
        m_hooks.onProgress(step);
}

bool UnattendedPresenter::stopRequested() const {
    // A signal is the abort button of a run nobody watches.
    if (m_hooks.interrupted && m_hooks.interrupted())
        m_state.flags.AbortRequested = true;
    return m_state.flags.AbortRequested;
}

void UnattendedPresenter::refused(const Refusal& why, const FolderPair& pair) {
    const QString text = RefusalText(why, pair.source, pair.destination);
    if (!text.isEmpty())
        m_hooks.say(text);
}

void UnattendedPresenter::walkEnded(RunMode mode, const RunResult& result) {
    if (result.aborted && mode != RunMode::Zip)
        m_hooks.say(mode == RunMode::SizeScan ? ScanAbortedText() : CopyAbortedText());
    if (result.notKept.what != 0)
        m_hooks.say(NotKeptText(result.notKept));
}

bool UnattendedPresenter::createFolder(const QString& path) {
    // Asked only once the folder's drive is known to be there.
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return true;
    m_hooks.say("Error Creating (" + path + ")");
    return false;
}

void UnattendedPresenter::tell(AlertKind, const QString& text) {
    m_hooks.say(text);
}

bool UnattendedPresenter::waitForDestination(const FolderPair& pair) {
    if (stopRequested())
        return false;
    if (!m_waitAnnounced && m_hooks.onWait)
        m_hooks.onWait(pair);
    m_waitAnnounced = true;
    return true;
}

} // namespace quorvia
