#include "commands/RunPresenter.h"

#include "app/Alerts.h"
#include "commands/FolderChecks.h"
#include "commands/RunTexts.h"
#include "platform/Clock.h"
#include "platform/LocaleText.h"

#include <algorithm>

namespace quorvia {

namespace {

// Asks twice, masked, until both agree; nullopt when the user cancels.
std::optional<QString> askPassword(const Settings& settings, Dialogs& dialogs) {
    for (;;) {
        const auto first = dialogs.promptPassword("Zip Password", "Password For The Zip Archive");
        if (!first)
            return std::nullopt;
        const auto again = dialogs.promptPassword("Zip Password", "Type The Password Again");
        if (!again)
            return std::nullopt;
        if (first->isEmpty())
            ShowAlert(dialogs, settings, "The Password Cannot Be Empty", AlertKind::Warning);
        else if (*first != *again)
            ShowAlert(dialogs, settings, "The Two Passwords Differ, Please Type Them Again",
                      AlertKind::Warning);
        else
            return first;
    }
}

} // namespace

Reply WindowPresenter::problem(const RunProblem& p) {
    const QString text = ProblemText(p);
    switch (p.kind) {
    case RunProblem::DestinationNotWritten:
        // OK only: the run stops.
        ShowAlert(m_port.dialogs, m_state.settings, text, AlertKind::Warning);
        m_state.flags.AbortRequested = true;
        return Reply::Abort;
    case RunProblem::DestinationUnusable:
    case RunProblem::ArchiveProblem:
        ShowAlert(m_port.dialogs, m_state.settings, text, AlertKind::Warning);
        return Reply::Continue;
    default:
        BeepIfSoundOn(m_port.dialogs, m_state.settings);
        if (m_port.dialogs.askAbortIgnore(text) == AbortIgnore::Ignore)
            return Reply::Continue;
        m_state.flags.AbortRequested = true;
        return Reply::Abort;
    }
}

void WindowPresenter::progress(const RunProgress& step) {
    switch (step.kind) {
    case RunProgress::FileDone:
        UpdateProgressCaption(m_state, m_port.view);
        m_captionShownAt = platform::tickCount();
        break;
    case RunProgress::BytesDone:
        if (const int64_t now = platform::tickCount();
            now - m_captionShownAt >= CaptionIntervalMs) {
            m_captionShownAt = now;
            UpdateProgressCaption(m_state, m_port.view, step.bytes);
        }
        break;
    default:
        break;
    }
}

void WindowPresenter::pump() {
    m_port.dialogs.processPendingMessages();
}

void WindowPresenter::refused(const Refusal& why, const FolderPair& pair) {
    const QString text = RefusalText(why, pair.source, pair.destination);
    if (!text.isEmpty())
        ShowAlert(m_port.dialogs, m_state.settings, text, AlertKind::Warning);
}

void WindowPresenter::walkEnded(RunMode mode, const RunResult& result) {
    // Said once a scheme or scan, when its walk has wound up.
    if (result.aborted && mode != RunMode::Zip)
        ShowAlert(m_port.dialogs, m_state.settings,
                  mode == RunMode::SizeScan ? ScanAbortedText() : CopyAbortedText(),
                  AlertKind::Warning);
    if (result.notKept.what != 0)
        ShowAlert(m_port.dialogs, m_state.settings, NotKeptText(result.notKept),
                  AlertKind::Information);
}

bool WindowPresenter::createFolder(const QString& path) {
    return EnsureFolder(m_state.settings, m_port.dialogs, path);
}

std::optional<QString> WindowPresenter::zipPassword() {
    BeepIfSoundOn(m_port.dialogs, m_state.settings);
    if (!m_passwordAsked) {
        m_passwordAsked = true;
        m_password = askPassword(m_state.settings, m_port.dialogs);
    }
    return m_password;
}

void WindowPresenter::tell(AlertKind kind, const QString& text) {
    ShowAlert(m_port.dialogs, m_state.settings, text, kind);
}

void UpdateProgressCaption(const AppState& state, MainView& view, int64_t inFlight) {
    const RunState& run = state.run;
    QString text = view.text(Field::Title).left(kBusyTitleLength) + " - " +
                   QString::number(state.queue.count());
    if (run.BytesNeeded > 0 && !state.flags.AbortRequested) {
        const double percent =
            std::min(100.0, double(run.ByteTotal + inFlight) / double(run.BytesNeeded) * 100);
        text += " - " + platform::formatNumber(percent, 0).trimmed() + "%";
    }
    view.setText(Field::Title, text);
    view.setText(Field::Caption, text);
}

} // namespace quorvia
