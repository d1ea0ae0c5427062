#include "commands/RunCommands.h"

#include "app/Alerts.h"
#include "commands/RunQueue.h"
#include "commands/SchemeCommands.h"
#include "schemes/SchemeFile.h"

#include <cerrno>

namespace quorvia {

void QueueSelectedScheme(AppState& state, UserPort& port) {
    SchemeQueue& queue = state.queue;
    for (;;) {
        if (state.schemeList.SchemeSelected()) {
            ++queue.QueueLast;
            if (queue.QueueLast > SchemeQueue::Capacity - 1) {
                ShowAlert(port.dialogs, state.settings,
                          "Queue Is Full\nScheme Not Added To Queue List", AlertKind::Information);
                --queue.QueueLast;
            } else {
                SchemeRecord& slot = queue.slots[queue.QueueLast];
                slot.SchemeFile = state.schemeList.selectedPath();
                slot.Folder1 = port.view.text(Field::Folder1).trimmed();
                slot.Folder2 = port.view.text(Field::Folder2).trimmed();
                port.view.setText(Field::QueueLength, QString::number(queue.QueueLast + 1));
                // An open stats dialog shows the new entry at once.
                port.view.refreshQueueStatus();
            }
            if (state.flags.Busy)
                port.view.raiseProgressWindow();
            return;
        }
        if (!ValidateFolders(state.settings, port, FolderMode::Either, true) ||
            !queue.slots[0].SchemeFile.isEmpty())
            return;
        port.dialogs.beep(); // this question beeps whatever SoundOn says
        if (!port.dialogs.confirm("Must Save Scheme Before Running It\nSave Now", 0))
            return;
        SaveNewScheme(state, port); // saved: selected and queued next time round
    }
}

bool SchemeInQueue(const AppState& state) {
    const QString selected = state.schemeList.selectedPath().trimmed();
    if (selected.isEmpty())
        return false;
    for (const SchemeRecord& slot : state.queue.slots)
        if (selected.compare(slot.SchemeFile.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void RunSelectedScheme(AppState& state, UserPort& port, zip::TZipMaster* zip) {
    QueueSelectedScheme(state, port);
    if (!state.flags.Busy)
        RunQueue(state, port, platform::posixFileIo(), zip);
}

int RunHandedSchemes(AppState& state, UserPort& port, const QStringList& schemeFiles,
                     zip::TZipMaster* zip) {
    SchemeList& list = state.schemeList;
    int queued = 0;
    for (const QString& file : schemeFiles) {
        int index = SelectSchemeByName(list, file);
        if (index < 0) { // saved since the list was read
            list.reread();
            index = SelectSchemeByName(list, file);
        }
        if (index < 0) {
            ShowAlert(port.dialogs, state.settings,
                      SchemeFileMessage(SchemeFileOp::Read, ENOENT, file), AlertKind::Warning);
            continue;
        }
        // As the user's choice of it: the boxes show its folders, whatever they held.
        list.selectByUser(index);
        LoadSchemeFile(state.settings, port, list.selectedPath());
        const int before = state.queue.count();
        QueueSelectedScheme(state, port);
        queued += state.queue.count() - before;
    }
    if (!state.flags.Busy && !state.queue.empty())
        RunQueue(state, port, platform::posixFileIo(), zip);
    return queued;
}

void Timer2Timer(AppState& state, UserPort& port, zip::TZipMaster* zip) {
    if (state.flags.Busy)
        return;
    port.view.hideProgressWindow();
    if (state.queue.QueueLast >= 0)
        RunQueue(state, port, platform::posixFileIo(), zip);
}

} // namespace quorvia
