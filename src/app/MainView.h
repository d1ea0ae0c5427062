#pragma once

#include <QString>
#include <QStringList>

namespace quorvia {

// Main-window fields that the logic writes or reads, by what they show; the
// window's control name beside each. The window decides the layout.
enum class Field {
    Title,              // application title
    Caption,            // main window caption
    Folder1,            // Edit1, "Folder 1 (From)"
    Folder2,            // Edit2, "Folder 2 (To)"
    FilesCopiedCaption, // Label4, "File(s) Copied:" / "File(s) Zipped:"
    LastRunDate,        // Label5
    FoldersCopied,      // Label8
    TotalTime,          // Label10
    SizeCopied,         // Label11
    Errors,             // Label13
    SchemeRunning,      // Label14, name of the scheme being worked on
    SchemeOrdinal,      // Label17, ordinal of the scheme being worked on
    QueueLength,        // Label19
    FilesCopied,        // Label20
    ShowWorkButton,     // Button8, "Show &Work" (enabled state)
    AbortButton,        // Button952, "ABORT CURRENT &PROCESS" (visible state)
};

// The main window as the logic sees it: its fields and the secondary windows
// the logic opens. The real main window implements it; tests record it.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setText(Field field, const QString& text) = 0;
    virtual QString text(Field field) const = 0;
    // Visible state for the abort button, enabled state for the show-work button.
    virtual void setOn(Field field, bool on) = 0;
    virtual void focus(Field field) = 0;

    virtual void showCheckingWindow() = 0; // progress window captioned "Quorvia - Checking"
    virtual void hideProgressWindow() = 0;
    virtual void raiseProgressWindow() = 0; // when a run command comes during a batch
    virtual void showWorkList(const QStringList& lines) = 0; // modeless
    virtual void refreshQueueStatus() = 0; // only acts while the stats dialog is visible
};

} // namespace quorvia
