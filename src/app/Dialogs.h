#pragma once

#include <QString>
#include <optional>

namespace quorvia {

enum class AlertKind { Warning, Information };
enum class AbortIgnore { Abort, Ignore };

// The questions the logic puts to the person at the screen. Real message
// boxes implement it; tests answer from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;

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
    // The same with the typing hidden, for a password; nullopt on Cancel.
    virtual std::optional<QString> promptPassword(const QString& caption, const QString& label) = 0;

    virtual void beep() = 0;
    // Lets the window handle pending events (abort buttons, timers, queue commands).
    virtual void processPendingMessages() = 0;
    // The least time between two of those during a run: what the events wait
    // at most, besides the step under way.
    virtual int pumpIntervalMs() const { return 4; }
};

} // namespace quorvia
