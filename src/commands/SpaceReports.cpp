#include "commands/SpaceReports.h"

#include "app/Alerts.h"
#include "commands/RunTexts.h"
#include "engine/PathChecks.h"
#include "engine/TreeWalk.h"
#include "platform/Volumes.h"

#include <QScopeGuard>

namespace quorvia {

namespace {

// Holds the busy display when nothing else does; inside a run it is the run's.
class OwnBusy {
public:
    OwnBusy(AppState& state, MainView& view)
        : m_state(state), m_view(view), m_owns(!state.flags.Busy) {
        if (m_owns)
            SetBusy(m_state.flags, m_view, true);
    }
    ~OwnBusy() {
        if (m_owns)
            SetBusy(m_state.flags, m_view, false);
    }
    OwnBusy(const OwnBusy&) = delete;
    OwnBusy& operator=(const OwnBusy&) = delete;

private:
    AppState& m_state;
    MainView& m_view;
    bool m_owns;
};

// Walks the pair in size-scan mode into the run state, with the checking
// window up; BytesNeeded takes the result.
void measure(AppState& state, MainView& view, RunPresenter& presenter, const FolderPair& pair,
             platform::FileIo& io, ScanFindings* findings = nullptr) {
    view.showCheckingWindow();
    RunState& run = state.run;
    run.resetCounters();
    run.aborted = false;
    state.flags.AbortRequested = false;
    {
        const auto hide = qScopeGuard([&] { view.hideProgressWindow(); });
        WalkTree({pair, RunMode::SizeScan, CopyOptions::of(state.settings), findings}, run,
                 presenter, io);
    }
    run.BytesNeeded = run.ByteTotal;
    presenter.walkEnded(RunMode::SizeScan, run);
}

} // namespace

int64_t ReportSize(AppState& state, UserPort& port, platform::FileIo& io) {
    OwnBusy busy(state, port.view);
    if (port.view.text(Field::Folder1).trimmed().isEmpty()) {
        ShowAlert(port.dialogs, state.settings, "Scheme Must Have Entry For First Folder",
                  AlertKind::Information);
        port.view.focus(Field::Folder1);
        port.view.hideProgressWindow();
        return 0;
    }
    // The boxes show the folders as they are measured.
    FolderPair pair =
        FolderPair::fromTexts(port.view.text(Field::Folder1), port.view.text(Field::Folder2));
    port.view.setText(Field::Folder1, pair.source);
    if (pair.destination.isEmpty())
        pair.destination = "/";
    else
        port.view.setText(Field::Folder2, pair.destination);
    WindowPresenter presenter(state, port);
    measure(state, port.view, presenter, pair, io);

    const QString folder2 = port.view.text(Field::Folder2).trimmed();
    const int64_t free = folder2.isEmpty() ? 0 : FreeBytes(folder2, io);
    ShowAlert(port.dialogs, state.settings,
              SizeReport(state.run, port.view.text(Field::Folder1), folder2, free),
              AlertKind::Information);
    return state.run.ByteTotal;
}

void ReportWindowFreeSpace(AppState& state, UserPort& port, platform::FileIo& io) {
    OwnBusy busy(state, port.view);
    const QString folder = port.view.text(Field::Folder2).trimmed();
    if (folder.isEmpty()) {
        ShowAlert(port.dialogs, state.settings, "Scheme Must Have Entry For Second Folder",
                  AlertKind::Information);
        port.view.focus(Field::Folder2);
        return;
    }
    ShowAlert(port.dialogs, state.settings,
              FreeSpaceText(FolderDisplayText(folder), FreeBytes(folder, io)),
              AlertKind::Information);
}

void ReportBrowserFreeSpace(AppState& state, UserPort& port, const BrowserDrive& browser,
                            platform::FileIo& io) {
    OwnBusy busy(state, port.view);
    ShowAlert(port.dialogs, state.settings,
              FreeSpaceText(FolderDisplayText(browser.currentFolder.trimmed()),
                            FreeBytes(browser.drive, io)),
              AlertKind::Information);
}

bool CheckSpaceBeforeRun(AppState& state, MainView& view, RunPresenter& presenter,
                         const FolderPair& pair, platform::FileIo& io, ScanFindings* findings) {
    OwnBusy busy(state, view);
    state.run.RunErrors = 0;
    measure(state, view, presenter, pair, io, findings);
    const int64_t needed = state.run.ByteTotal;
    const int64_t free = FreeBytes(pair.destination, io);
    const bool room = free > needed;
    if (!room)
        presenter.tell(AlertKind::Warning, NotEnoughRoomText(needed, free));
    if (state.run.RunErrors > 0)
        presenter.tell(AlertKind::Information, "Error(s) Encountered During Space Check Process");
    return room;
}

} // namespace quorvia
