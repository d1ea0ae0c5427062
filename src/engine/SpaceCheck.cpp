#include "engine/SpaceCheck.h"

#include "app/Alerts.h"
#include "app/RunFormat.h"
#include "engine/RunProgress.h"
#include "engine/TreeWalk.h"
#include "platform/LocaleText.h"
#include "platform/Volumes.h"

#include <QFile>

namespace quorvia {

namespace {

// Holds the busy display when nothing else does; inside a run it is the run's.
class OwnBusy {
public:
    OwnBusy(AppState& state, UserPort& port)
        : m_state(state), m_port(port), m_owns(!state.flags.Busy) {
        if (m_owns)
            SetBusy(m_state.flags, m_port.view, true);
    }
    ~OwnBusy() {
        if (m_owns)
            SetBusy(m_state.flags, m_port.view, false);
    }
    OwnBusy(const OwnBusy&) = delete;
    OwnBusy& operator=(const OwnBusy&) = delete;

private:
    AppState& m_state;
    UserPort& m_port;
    bool m_owns;
};

QString count(int64_t value) {
    return platform::formatCount(double(value)).trimmed();
}

} // namespace

// In its own letter case: on Linux another case names another folder.
QString FolderDisplayText(const QString& folder) {
    if (folder.size() <= 18)
        return folder;
    return folder.left(3) + "..." + folder.right(19);
}

QString SizeReport(const RunState& run, bool aborted, const QString& folder1,
                   const QString& folder2, int64_t freeBytes) {
    QString text = "Searched: " + FolderDisplayText(folder1) + "\n\n";
    text += "Found " + count(run.FolderCount - 1) + " Folder(s), and " + count(run.FilesExamined) +
            " File(s).\n\n";
    text += count(run.FilesFound) + " File(s) Need To Be Synched.\n\n";
    text += "Total File Size = " + FormatSize(double(run.ByteTotal)) + "\n\n";
    if (!folder2.trimmed().isEmpty()) {
        text += QString(49, '-') + "\n\n";
        text += "Searched: " + FolderDisplayText(folder2) + "\n\n";
        text += "Total Space Available = " + FormatSize(double(freeBytes)) + "\n\n";
    }
    if (run.RunErrors > 0)
        text += "\nWARNING: " + QString::number(run.RunErrors) +
                " Error(s) Were Reported. Total Size MIGHT Be Wrong!";
    if (aborted)
        text += QString(run.RunErrors > 0 ? "\n" : "") +
                "WARNING: Aborted By User. Total Size MIGHT Be Wrong!";
    return text;
}

int64_t ScanSize(AppState& state, UserPort& port, bool showReport, bool fromWindow,
                 platform::FileIo& io) {
    OwnBusy busy(state, port);
    RunState& run = state.run;

    if (fromWindow && port.view.text(Field::Folder1).trimmed().isEmpty()) {
        ShowAlert(port.dialogs, state.settings, "Scheme Must Have Entry For First Folder",
                  AlertKind::Information);
        port.view.focus(Field::Folder1);
        port.view.hideProgressWindow();
        return 0;
    }

    ShowCheckingWindow(port.view);
    run.SizeScanMode = true;
    run.resetCounters();
    state.flags.AbortRequested = false;

    QString source;
    QString destination;
    if (fromWindow) {
        source = port.view.text(Field::Folder1).trimmed();
        port.view.setText(Field::Folder1, source);
        destination = port.view.text(Field::Folder2).trimmed();
        if (destination.isEmpty())
            destination = "/";
        else
            port.view.setText(Field::Folder2, destination);
    } else {
        source = state.queue.slots[0].Folder1.trimmed();
        destination = state.queue.slots[0].Folder2;
    }
    {
        // Hides the window and leaves scan mode even when the walk is left early.
        struct EndScan {
            AppState& state;
            UserPort& port;
            ~EndScan() {
                state.run.SizeScanMode = false;
                port.view.hideProgressWindow();
            }
        } end{state, port};
        TreeWalk(state, port, io)
            .WalkTree(QFile::encodeName(source), QFile::encodeName(destination));
    }
    run.BytesNeeded = run.ByteTotal;

    if (showReport) {
        const QString folder2 = port.view.text(Field::Folder2).trimmed();
        const int64_t free =
            folder2.isEmpty() ? 0 : QueryFreeSpace(state, port, false, SpaceSource::Window, {}, io);
        ShowAlert(port.dialogs, state.settings,
                  SizeReport(run, state.flags.AbortRequested, port.view.text(Field::Folder1),
                             folder2, free),
                  AlertKind::Information);
    }
    return run.ByteTotal;
}

int64_t QueryFreeSpace(AppState& state, UserPort& port, bool showMessage, SpaceSource source,
                       const BrowserDrive& browser, platform::FileIo& io) {
    OwnBusy busy(state, port);
    QString folder;
    QString display;
    switch (source) {
    case SpaceSource::Queue:
        folder = state.queue.slots[0].Folder2.trimmed();
        display = platform::driveOf(folder);
        break;
    case SpaceSource::Window:
        folder = port.view.text(Field::Folder2).trimmed();
        if (folder.isEmpty()) {
            ShowAlert(port.dialogs, state.settings, "Scheme Must Have Entry For Second Folder",
                      AlertKind::Information);
            port.view.focus(Field::Folder2);
            return 0;
        }
        display = folder;
        break;
    case SpaceSource::Browser:
        folder = browser.drive;
        display = browser.currentFolder.trimmed();
        break;
    }
    display = FolderDisplayText(display);
    int64_t asked = 0;
    const int64_t free =
        io.freeSpace(QFile::encodeName(folder), asked) == 0 && asked > 0 ? asked : 0;
    if (!showMessage)
        return free;
    ShowAlert(port.dialogs, state.settings,
              "Searched: " + display + "\n\nFound " + FormatSize(double(free)) + " Available.",
              AlertKind::Information);
    return 0;
}

bool CheckSpaceBeforeRun(AppState& state, UserPort& port, platform::FileIo& io) {
    state.run.RunErrors = 0;
    const int64_t needed = ScanSize(state, port, false, false, io);
    const int64_t free = QueryFreeSpace(state, port, false, SpaceSource::Queue, {}, io);
    const bool room = free > needed;
    if (!room)
        ShowAlert(port.dialogs, state.settings,
                  "Copy Aborted (Not Enough Room)\n\nNeeded: " + FormatSize(double(needed)) +
                      "  Found: " + FormatSize(double(free)),
                  AlertKind::Warning);
    if (state.run.RunErrors > 0)
        ShowAlert(port.dialogs, state.settings, "Error(s) Encountered During Space Check Process",
                  AlertKind::Information);
    return room;
}

} // namespace quorvia
