#pragma once

#include "app/Dialogs.h"
#include "app/MainView.h"
#include "app/UserPort.h"
#include "commands/RunPresenter.h"

#include <QMap>
#include <functional>

namespace quorvia {

// The port of a run nobody watches: every box becomes a line of text, a
// question is answered No, the window's fields are only remembered.
class UnattendedPort : public Dialogs, public MainView {
public:
    explicit UnattendedPort(std::function<void(const QString&)> say) : m_say(std::move(say)) {}
    UnattendedPort(const UnattendedPort&) = delete;
    UnattendedPort& operator=(const UnattendedPort&) = delete;
    operator UserPort&() { return m_port; }

    void messageBox(AlertKind, const QString& text, int) override { m_say(text); }
    bool confirm(const QString&, int) override { return false; }
    AbortIgnore askAbortIgnore(const QString& text) override;
    void plainBox(const QString& text, const QString&) override { m_say(text); }
    std::optional<QString> prompt(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> promptPassword(const QString&, const QString&) override {
        return std::nullopt;
    }
    void beep() override {}
    void processPendingMessages() override {}

    void setText(Field field, const QString& text) override { m_fields[field] = text; }
    QString text(Field field) const override { return m_fields.value(field); }
    void setOn(Field, bool) override {}
    void focus(Field) override {}
    void showCheckingWindow() override {}
    void hideProgressWindow() override {}
    void raiseProgressWindow() override {}
    void showWorkList(const QStringList&) override {}
    void refreshQueueStatus() override {}

private:
    std::function<void(const QString&)> m_say;
    QMap<Field, QString> m_fields;
    UserPort m_port{*this, *this};
};

// The presenter of a run nobody watches. It never waits for a person: a
// problem the window would put as Abort/Ignore is ignored (the engine has
// counted it), a failed write stops that scheme as in the window, a missing
// archive folder is made, the zip password is the one given up front (none:
// the zip scheme is refused), and a destination busy with another run is
// waited for. Every message goes to `say` in the window's words.
class UnattendedPresenter : public RunPresenter {
public:
    struct Hooks {
        std::function<void(const QString&)> say;
        std::function<bool()> interrupted;                  // SIGINT or SIGTERM came
        std::function<void(const RunProgress&)> onProgress; // may be empty
        std::function<void(const FolderPair&)> onWait;      // once a scheme, may be empty
    };
    UnattendedPresenter(AppState& state, Hooks hooks, std::optional<QString> zipPassword)
        : m_state(state), m_hooks(std::move(hooks)), m_password(std::move(zipPassword)) {}

    Reply problem(const RunProblem& problem) override;
    void progress(const RunProgress& step) override;
    void pump() override {}
    bool stopRequested() const override;

    void refused(const Refusal& why, const FolderPair& pair) override;
    void walkEnded(RunMode mode, const RunResult& result) override;
    bool createFolder(const QString& path) override;
    std::optional<QString> zipPassword() override { return m_password; }
    void tell(AlertKind kind, const QString& text) override;
    bool waitForDestination(const FolderPair& pair) override;

    // A new scheme: the wait is announced again.
    void startScheme() { m_waitAnnounced = false; }

private:
    AppState& m_state;
    Hooks m_hooks;
    std::optional<QString> m_password;
    bool m_waitAnnounced = false;
};

} // namespace quorvia
