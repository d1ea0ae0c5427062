#pragma once

#include "app/AppState.h"
#include "app/RunResult.h"
#include "app/UserPort.h"
#include "engine/RunObserver.h"
#include "engine/RunRequest.h"

#include <QString>
#include <optional>

namespace quorvia {

// Whoever a batch of runs reports to and asks: the window, or (for a run
// nobody watches) a log. Beside the engine's facts it hears why a scheme was
// held back and what a finished walk has to say, and answers the questions a
// run may put.
class RunPresenter : public RunObserver {
public:
    // A scheme held back before anything was written.
    virtual void refused(const Refusal& why, const FolderPair& pair) = 0;
    // After a walk or zip: its abort, and what the destination did not keep.
    virtual void walkEnded(RunMode mode, const RunResult& result) = 0;
    // A missing folder: may it be made?
    virtual bool createFolder(const QString& path) = 0;
    // The password of this batch's zip archives; nullopt when there is none.
    virtual std::optional<QString> zipPassword() = 0;
    // A message of the batch itself (a queue entry dropped, a space check's errors).
    virtual void tell(AlertKind kind, const QString& text) = 0;
    // Folder 2 is written by another run: wait and try again (true), or refuse.
    virtual bool waitForDestination(const FolderPair&) { return false; }
};

// The window's presenter: boxes with the program's texts, the caption's
// percentage, the window's events handled between steps, the abort buttons.
class WindowPresenter : public RunPresenter {
public:
    WindowPresenter(AppState& state, UserPort& port) : m_state(state), m_port(port) {}

    Reply problem(const RunProblem& problem) override;
    void progress(const RunProgress& step) override;
    void pump() override;
    int pumpIntervalMs() const override { return m_port.dialogs.pumpIntervalMs(); }
    bool stopRequested() const override { return m_state.flags.AbortRequested; }

    void refused(const Refusal& why, const FolderPair& pair) override;
    void walkEnded(RunMode mode, const RunResult& result) override;
    bool createFolder(const QString& path) override;
    std::optional<QString> zipPassword() override;
    void tell(AlertKind kind, const QString& text) override;

    // How often the caption's percentage moves while one large file is copied.
    static constexpr int64_t CaptionIntervalMs = 250;

private:
    AppState& m_state;
    UserPort& m_port;
    int64_t m_captionShownAt = 0;
    bool m_passwordAsked = false;
    std::optional<QString> m_password; // this batch's, forgotten with the presenter
};

// Title and caption from the queue length and, when a size is known, the
// percentage done: "Quorvia (A) - 2 - 45%". `inFlight` counts the bytes of
// a file still being copied, so that a large file moves the percentage too.
void UpdateProgressCaption(const AppState& state, MainView& view, int64_t inFlight = 0);

} // namespace quorvia
