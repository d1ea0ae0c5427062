#include "ScriptedPort.h"

#include <gtest/gtest.h>

namespace quorvia::test {

Answer ScriptedPort::next(const QString& question) {
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << question.toStdString();
        return Answer::cancel();
    }
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedPort::messageBox(AlertKind kind, const QString& text, int helpContext) {
    events.push_back({kind == AlertKind::Warning ? PortEvent::Warning : PortEvent::Information,
                      text, helpContext});
}

bool ScriptedPort::confirm(const QString& text, int helpContext) {
    events.push_back({PortEvent::Confirm, text, helpContext});
    Answer a = next(text);
    if (a.kind != Answer::Yes && a.kind != Answer::No && a.kind != Answer::Cancel)
        ADD_FAILURE() << "Yes/No question answered otherwise: " << text.toStdString();
    return a.kind == Answer::Yes;
}

AbortIgnore ScriptedPort::askAbortIgnore(const QString& text) {
    events.push_back({PortEvent::AbortIgnoreBox, text});
    Answer a = next(text);
    if (a.kind != Answer::Abort && a.kind != Answer::Ignore && a.kind != Answer::Cancel)
        ADD_FAILURE() << "Abort/Ignore question answered otherwise: " << text.toStdString();
    return a.kind == Answer::Ignore ? AbortIgnore::Ignore : AbortIgnore::Abort;
}

void ScriptedPort::plainBox(const QString& text, const QString& caption) {
    PortEvent e{PortEvent::Plain, text};
    Q_UNUSED(caption);
    events.push_back(e);
}

std::optional<QString> ScriptedPort::prompt(const QString& caption, const QString& label,
                                            const QString& initial) {
    PortEvent e{PortEvent::Prompt, initial};
    Q_UNUSED(caption);
    Q_UNUSED(label);
    events.push_back(e);
    Answer a = next("prompt " + caption);
    if (a.kind == Answer::Text)
        return a.text;
    if (a.kind != Answer::Cancel)
        ADD_FAILURE() << "prompt answered with a button: " << caption.toStdString();
    return std::nullopt;
}

void ScriptedPort::beep() {
    events.push_back({PortEvent::Beep, {}});
}

void ScriptedPort::processPendingMessages() {
    ++pumps;
    if (onPump)
        onPump();
}

void ScriptedPort::setText(Field field, const QString& text) {
    fields[field] = text;
    PortEvent e{PortEvent::SetText, text};
    e.field = field;
    events.push_back(e);
}

QString ScriptedPort::text(Field field) const {
    return fields.value(field);
}

void ScriptedPort::setOn(Field field, bool on) {
    switches[field] = on;
    PortEvent e{PortEvent::SetOn, {}};
    e.field = field;
    e.on = on;
    events.push_back(e);
}

void ScriptedPort::focus(Field field) {
    focused = field;
}
void ScriptedPort::showCheckingWindow() {
    ++checkingWindowShows;
}
void ScriptedPort::hideProgressWindow() {
    ++progressHides;
}
void ScriptedPort::raiseProgressWindow() {
    ++progressRaises;
}
void ScriptedPort::showWorkList(const QStringList& lines) {
    shownWorkList = lines;
    ++workListShows;
}
void ScriptedPort::refreshQueueStatus() {
    ++queueRefreshes;
}

QStringList ScriptedPort::boxes() const {
    QStringList out;
    for (const auto& e : events)
        if (e.kind != PortEvent::Beep && e.kind != PortEvent::SetText && e.kind != PortEvent::SetOn)
            out << e.text;
    return out;
}

int ScriptedPort::beeps() const {
    int n = 0;
    for (const auto& e : events)
        n += e.kind == PortEvent::Beep;
    return n;
}

QStringList ScriptedPort::dialogue() const {
    static const char* names[] = {"beep",         "warning", "information", "confirm",
                                  "abort-ignore", "plain",   "prompt"};
    QStringList out;
    for (const auto& e : events) {
        if (e.kind == PortEvent::SetText || e.kind == PortEvent::SetOn)
            continue;
        out << (e.kind == PortEvent::Beep ? QString("beep")
                                          : QString(names[e.kind]) + ":" + e.text);
    }
    return out;
}

} // namespace quorvia::test
