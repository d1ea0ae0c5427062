#include "commands/RunQueue.h"

#include "app/Alerts.h"
#include "app/RunFormat.h"
#include "app/RunStatistics.h"
#include "commands/SpaceReports.h"
#include "engine/PathChecks.h"
#include "engine/TreeWalk.h"
#include "engine/ZipMode.h"
#include "platform/Clock.h"
#include "schemes/SchemeFile.h"

#include <QFileInfo>
#include <QScopeGuard>

namespace quorvia {

namespace {

constexpr int kDestinationRetryMs = 250;

// A head entry without both folders can never run: report it and drop it, so
// that the entries behind it are not held up for ever.
void dropEntriesWithoutFolders(AppState& state, UserPort& port, RunPresenter& presenter) {
    SchemeQueue& queue = state.queue;
    while (!queue.empty() &&
           !FolderPair::fromTexts(queue.slots[0].Folder1, queue.slots[0].Folder2).complete()) {
        presenter.tell(AlertKind::Warning,
                       "Scheme " + queue.slots[0].SchemeFile +
                           " Has No Entry For Both Folders\nScheme Removed From Queue");
        AdvanceQueue(queue);
        port.view.refreshQueueStatus();
    }
}

void resetForScheme(AppState& state) {
    state.run.resetForScheme();
    state.flags.AbortRequested = false;
    // Without a scan of this scheme, an older scan's size would give a false percentage.
    if (!state.settings.CheckPrior)
        state.run.BytesNeeded = 0;
}

// The archive's password and folder first; then the component adds the files.
void zipHead(AppState& state, RunPresenter& presenter, zip::TZipMaster* zip, const FolderPair& pair,
             const SchemeRecord& head) {
    RunState& run = state.run;
    if (!zip) {
        presenter.tell(AlertKind::Warning, "ZIP Process Aborted");
        return;
    }
    ZipRequest request = ZipRequest::of(state.settings, pair, head.SchemeFile);
    if (request.encrypt) {
        const std::optional<QString> password = presenter.zipPassword();
        if (!password) {
            run.refused = Refusal(Refusal::NoPassword, request.archive);
            ++run.RunErrors;
            presenter.refused(run.refused, pair);
            return;
        }
        request.password = *password;
    }
    const QString folder = QFileInfo(request.archive).path();
    if (const DriveCheck drive = CheckDrive(folder); !drive.present) {
        run.refused = Refusal(Refusal::DriveMissing, drive.drive);
        presenter.refused(run.refused, pair);
        return;
    }
    if (!presenter.createFolder(folder)) {
        run.refused = Refusal(Refusal::FolderNotMade, folder);
        presenter.refused(run.refused, pair);
        state.flags.AbortRequested = true;
        run.RunErrors = 1;
        return;
    }
    ZipFolder(request, *zip, run, presenter);
}

// One scheme from the head of the queue: checks, gate, copy or zip, records.
void runHead(AppState& state, UserPort& port, RunPresenter& presenter, platform::FileIo& io,
             zip::TZipMaster* zip) {
    SchemeRecord& head = state.queue.slots[0];
    RunState& run = state.run;
    const Settings& settings = state.settings;
    const FolderPair pair = FolderPair::fromTexts(head.Folder1, head.Folder2);

    SelectSchemeByName(state.schemeList, head.SchemeFile);
    // Checked again for every run: a drive can be unplugged and folders can
    // change since the scheme was added. Refused before anything is made.
    Refusal refused = CheckRunnable(head.SchemeFile, pair, io);
    // Two runs writing one destination would each find the other's files half made.
    auto lock = refused ? nullptr : LockDestination(pair, refused);
    // A run nobody watches waits its turn; the window's is refused at once.
    while (!lock && refused.kind == Refusal::DestinationBusy &&
           presenter.waitForDestination(pair)) {
        refused = {};
        lock = LockDestination(pair, refused, kDestinationRetryMs);
    }
    if (refused) {
        run.refused = refused;
        presenter.refused(refused, pair);
        return;
    }
    // A zip run is never held back by the space check; its messages still come.
    ScanFindings findings; // the copy need not look again at what the scan found up to date
    if (settings.CheckPrior &&
        !CheckSpaceBeforeRun(state, port.view, presenter, pair, io, &findings) &&
        !settings.ZipArchiveFlag) {
        run.refused = Refusal(Refusal::NotEnoughRoom); // its message came from the check
        return;
    }

    const int64_t timesRun = ReadStoredCount("TimesRun");
    resetForScheme(state);
    const int64_t start = platform::tickCount();
    const QString name = SchemeName(head.SchemeFile);
    port.view.setText(Field::SchemeRunning, "(" + name + ")");
    UpdateProgressCaption(state, port.view);

    if (settings.ZipArchiveFlag) {
        zipHead(state, presenter, zip, pair, head);
        head.RunMode = SchemeRecord::Zipped;
        port.view.setText(Field::FilesCopiedCaption, "File(s) Zipped:");
    } else {
        WalkTree({pair, RunMode::Copy, CopyOptions::of(settings), &findings}, run, presenter, io);
        presenter.walkEnded(RunMode::Copy, run);
        head.RunMode = SchemeRecord::Copied;
        port.view.setText(Field::FilesCopiedCaption, "File(s) Copied:");
    }
    run.aborted = state.flags.AbortRequested;

    run.RunElapsedText = FormatElapsed(start, platform::tickCount());
    if (!run.aborted)
        RememberDestination(head.SchemeFile, pair, io);
    if (run.FolderCount > 0)
        --run.FolderCount;
    WriteSchemeFile(state, port);
    if (settings.ShowWork) {
        if (run.aborted)
            run.WorkList.addAborted();
        if (state.queue.QueueLast == 0)
            port.view.showWorkList(run.WorkList.lines());
    }
    BeepIfSoundOn(port.dialogs, settings);

    WriteRunStatistics(port.dialogs, run, run.aborted, timesRun, name, state.settings);
    state.flags.AbortRequested = false;
    port.view.setOn(Field::ShowWorkButton, true);
}

} // namespace

void RunBatch(AppState& state, UserPort& port, RunPresenter& presenter, platform::FileIo& io,
              zip::TZipMaster* zip) {
    if (state.flags.Busy)
        return;
    state.flags.Busy = true;
    bool busyShown = false;
    const auto guard = qScopeGuard([&] {
        if (busyShown)
            SetBusy(state.flags, port.view, false);
        state.flags.Busy = false;
    });

    SchemeQueue& queue = state.queue;
    const bool anything = !queue.empty();
    int ordinal = 0;
    for (;;) {
        dropEntriesWithoutFolders(state, port, presenter);
        if (queue.empty())
            break;
        if (!busyShown) {
            SetBusy(state.flags, port.view, true);
            busyShown = true;
        }
        port.view.setText(Field::SchemeOrdinal, QString::number(++ordinal));
        runHead(state, port, presenter, io, zip);
        AdvanceQueue(queue);
        port.view.refreshQueueStatus();
    }

    if (anything) {
        port.view.setText(Field::SchemeOrdinal, "0");
        port.view.setText(Field::QueueLength, "0");
        ClearQueue(queue);
        port.view.refreshQueueStatus();
    }
}

void RunQueue(AppState& state, UserPort& port, platform::FileIo& io, zip::TZipMaster* zip) {
    WindowPresenter presenter(state, port); // the zip password is asked once a batch
    RunBatch(state, port, presenter, io, zip);
}

} // namespace quorvia
