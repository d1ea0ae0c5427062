#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvia {

// Main-window fields that the logic writes or reads. The window decides layout
// (for instance where Label11 sits next to Label20); the logic only sets texts.
enum class Field {
    Title,     // application title
    Caption,   // main window caption
    Edit1,     // "Folder 1 (From)"
    Edit2,     // "Folder 2 (To)"
    Label4,    // "File(s) Copied:" / "File(s) Zipped:"
    Label5,    // last run date
    Label8,    // folders copied
    Label10,   // total time
    Label11,   // size copied
    Label13,   // errors
    Label14,   // name of the scheme being worked on
    Label17,   // ordinal of the scheme being worked on
    Label19,   // queue length
    Label20,   // files copied
    Button8,   // "Show &Work" (enabled state)
    Button952, // "ABORT CURRENT &PROCESS" (visible state)
};

enum class AlertKind { Warning, Information };
enum class AbortIgnore { Abort, Ignore };

// Everything the logic needs from the person at the screen. The main window
// implements it; tests use a scripted fake.
class UserPort {
public:
    virtual ~UserPort() = default;

    // Modal box with the OK button.
    virtual void messageBox(AlertKind kind, const QString& text, int helpContext) = 0;
    // Yes/No confirmation; true only for Yes.
    virtual bool confirm(const QString& text, int helpContext) = 0;
    // Warning box with Abort and Ignore.
    virtual AbortIgnore askAbortIgnore(const QString& text) = 0;
    // Plain box (no icon) with OK; an empty caption means the application title.
    virtual void plainBox(const QString& text, const QString& caption = {}) = 0;
    // One-line text prompt with OK and Cancel; nullopt on Cancel.
    virtual std::optional<QString> prompt(const QString& caption, const QString& label,
                                          const QString& initial) = 0;

    virtual void beep() = 0;
    // Lets the window handle pending events (abort buttons, timers, queue commands).
    virtual void processPendingMessages() = 0;

    virtual void setText(Field field, const QString& text) = 0;
    virtual QString text(Field field) const = 0;
    // Visible state for Button952, enabled state for Button8.
    virtual void setOn(Field field, bool on) = 0;

    virtual void focus(Field field) = 0;

    // Secondary windows the logic opens or refreshes.
    virtual void showCheckingWindow() = 0; // progress window captioned "Quorvia - Checking"
    virtual void hideProgressWindow() = 0;
    virtual void raiseProgressWindow() = 0; // when a run command comes during a batch
    virtual void showWorkList(const QStringList& lines) = 0; // modeless
    virtual void refreshQueueStatus() = 0; // only acts while the stats dialog is visible
};

} // namespace quorvia
