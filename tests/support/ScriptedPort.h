#pragma once

#include "app/UserPort.h"

#include <QDebug>
#include <ostream>

#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <variant>
#include <vector>

// Readable failure output for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quorvia::test {

// One thing the logic did to the user, in order.
struct PortEvent {
    enum Kind {
        Beep,
        Warning,
        Information,
        Confirm,
        AbortIgnoreBox,
        Plain,
        Prompt,
        SetText,
        SetOn
    };
    Kind kind;
    QString text; // message, or new field text
    int helpContext = 0;
    Field field = Field::Title;
    bool on = false;
};

// A scripted answer for the next question.
struct Answer {
    enum Kind { Yes, No, Abort, Ignore, Text, Cancel };
    Kind kind;
    QString text;
    static Answer yes() { return {Yes, {}}; }
    static Answer no() { return {No, {}}; }
    static Answer abort() { return {Abort, {}}; }
    static Answer ignore() { return {Ignore, {}}; }
    static Answer typed(const QString& t) { return {Text, t}; }
    static Answer cancel() { return {Cancel, {}}; }
};

// Answers questions from a list, records every box and beep, and fails the
// test on a question nobody scripted.
class ScriptedDialogs : public Dialogs {
public:
    std::deque<Answer> answers;
    std::vector<PortEvent> events; // boxes and beeps, and field changes of a view logging here
    int pumps = 0;
    // Runs on every processPendingMessages(); lets a test act "during" a run.
    std::function<void()> onPump;

    void script(std::initializer_list<Answer> list) { answers.insert(answers.end(), list); }

    void messageBox(AlertKind kind, const QString& text, int helpContext) override;
    bool confirm(const QString& text, int helpContext) override;
    AbortIgnore askAbortIgnore(const QString& text) override;
    void plainBox(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& caption, const QString& label,
                                  const QString& initial) override;
    std::optional<QString> promptPassword(const QString& caption, const QString& label) override;
    void beep() override;
    void processPendingMessages() override;
    // Every chance a run has unless set: tests act at a given entry or copy step.
    int pumpInterval = 0;
    int pumpIntervalMs() const override { return pumpInterval; }

    // Texts of the boxes shown (any kind), in order.
    QStringList boxes() const;
    int beeps() const;
    // Box and beep events only, as short strings such as "beep", "warning:...".
    QStringList dialogue() const;

private:
    Answer next(const QString& question);
};

// Keeps the main window's fields and counts the secondary windows opened.
class ScriptedView : public MainView {
public:
    QMap<Field, QString> fields;
    QMap<Field, bool> switches;
    Field focused = Field::Title;
    QStringList shownWorkList; // lines of the last work-list window shown
    int workListShows = 0;
    int checkingWindowShows = 0;
    int progressHides = 0;
    int progressRaises = 0;
    int queueRefreshes = 0;

    // Field changes go into this log too, in order with the boxes.
    void logTo(std::vector<PortEvent>* log) { m_log = log; }

    void setText(Field field, const QString& text) override;
    QString text(Field field) const override;
    void setOn(Field field, bool on) override;
    void focus(Field field) override;
    void showCheckingWindow() override;
    void hideProgressWindow() override;
    void raiseProgressWindow() override;
    void showWorkList(const QStringList& lines) override;
    void refreshQueueStatus() override;

private:
    std::vector<PortEvent>* m_log = nullptr;
};

// Both sides in one, with one log: for the logic's tests without windows.
class ScriptedPort : public ScriptedDialogs, public ScriptedView {
public:
    ScriptedPort() { logTo(&events); }
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;
    operator UserPort&() { return m_port; }

private:
    UserPort m_port{*this, *this};
};

} // namespace quorvia::test
