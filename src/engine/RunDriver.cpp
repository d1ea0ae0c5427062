#include "engine/RunDriver.h"

#include "app/Alerts.h"
#include "app/RunFormat.h"
#include "app/RunStatistics.h"
#include "engine/PathChecks.h"
#include "engine/RunProgress.h"
#include "engine/SpaceCheck.h"
#include "engine/TreeWalk.h"
#include "engine/ZipMode.h"
#include "platform/Clock.h"
#include "schemes/SchemeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>

namespace quorvia {

namespace {

bool hasBothFolders(const SchemeRecord& record) {
    return !record.Folder1.trimmed().isEmpty() && !record.Folder2.trimmed().isEmpty();
}

// A head entry without both folders can never run: report it and drop it, so
// that the entries behind it are not held up for ever.
void dropEntriesWithoutFolders(AppState& state, UserPort& port) {
    SchemeQueue& queue = state.queue;
    while (!queue.empty() && !hasBothFolders(queue.slots[0])) {
        ShowAlert(port.dialogs, state.settings,
                  "Scheme " + queue.slots[0].SchemeFile +
                      " Has No Entry For Both Folders\nScheme Removed From Queue",
                  AlertKind::Warning);
        AdvanceQueue(queue);
        port.view.refreshQueueStatus();
    }
}

void resetForScheme(AppState& state) {
    RunState& run = state.run;
    run.AbortReported = false;
    run.resetCounters();
    run.WorkList.clear();
    run.SizeScanMode = false;
    state.flags.AbortRequested = false;
    // Without a scan of this scheme, an older scan's size would give a false percentage.
    if (!state.settings.CheckPrior)
        run.BytesNeeded = 0;
}

// One scheme from the head of the queue: gate, copy or zip, records.
void runHead(AppState& state, UserPort& port, platform::FileIo& io, zip::TZipMaster* zip,
             BatchPassword& password) {
    SchemeRecord& head = state.queue.slots[0];
    RunState& run = state.run;
    const Settings& settings = state.settings;

    SelectSchemeByName(state.schemeList, head.SchemeFile);
    // Checked again for every run: a drive can be unplugged and folders can
    // change since the scheme was added. Refused before anything is made.
    const QString from = head.Folder1.trimmed();
    const QString to = head.Folder2.trimmed();
    if (!CheckDrive(settings, port.dialogs, from, io) ||
        !CheckDrive(settings, port.dialogs, to, io) ||
        !CheckFolderPair(settings, port.dialogs, from, to, io))
        return;
    // A zip run is never held back by the space check; its messages still come.
    if (settings.CheckPrior && !CheckSpaceBeforeRun(state, port, io) && !settings.ZipArchiveFlag)
        return;

    const int64_t timesRun = ReadStoredCount("TimesRun");
    resetForScheme(state);
    const int64_t start = platform::tickCount();
    const QString name = SchemeName(head.SchemeFile);
    port.view.setText(Field::SchemeRunning, "(" + name + ")");
    UpdateProgressCaption(state, port.view);

    if (settings.ZipArchiveFlag) {
        if (zip)
            ZipFolder(state, port, *zip, password);
        else
            ShowAlert(port.dialogs, settings, "ZIP Process Aborted", AlertKind::Warning);
        head.RunMode = SchemeRecord::Zipped;
        port.view.setText(Field::FilesCopiedCaption, "File(s) Zipped:");
    } else {
        TreeWalk(state, port, io)
            .WalkTree(QFile::encodeName(head.Folder1.trimmed()), QFile::encodeName(head.Folder2));
        head.RunMode = SchemeRecord::Copied;
        port.view.setText(Field::FilesCopiedCaption, "File(s) Copied:");
    }

    run.RunElapsedText = FormatElapsed(start, platform::tickCount());
    if (run.FolderCount > 0)
        --run.FolderCount;
    WriteSchemeFile(state, port);
    if (settings.ShowWork) {
        if (state.flags.AbortRequested)
            run.WorkList << "(ABORTED)";
        if (state.queue.QueueLast == 0)
            port.view.showWorkList(run.WorkList);
    }
    BeepIfSoundOn(port.dialogs, settings);

    WriteRunStatistics(port.dialogs, run, state.flags.AbortRequested, timesRun, name,
                       state.settings);
    state.flags.AbortRequested = false;
    port.view.setOn(Field::ShowWorkButton, true);
}

} // namespace

QString SchemeName(const QString& schemeFile) {
    const QString file = QFileInfo(schemeFile).fileName();
    return file.left(std::max<qsizetype>(0, file.size() - 4));
}

void RunQueue(AppState& state, UserPort& port, platform::FileIo& io, zip::TZipMaster* zip) {
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
    bool anything = !queue.empty();
    int ordinal = 0;
    BatchPassword password; // forgotten when the batch ends
    for (;;) {
        dropEntriesWithoutFolders(state, port);
        if (queue.empty())
            break;
        if (!busyShown) {
            SetBusy(state.flags, port.view, true);
            busyShown = true;
        }
        port.view.setText(Field::SchemeOrdinal, QString::number(++ordinal));
        runHead(state, port, io, zip, password);
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

} // namespace quorvia
