#include "ScriptedPort.h"

#include <gtest/gtest.h>

namespace quorvia::test {

Answer ScriptedDialogs::next(const QString& question) {
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << question.toStdString();
        return Answer::cancel();
    }
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedDialogs::messageBox(AlertKind kind, const QString& text, int helpContext) {
    events.push_back({kind == AlertKind::Warning ? PortEvent::Warning : PortEvent::Information,
                      text, helpContext});
}

bool ScriptedDialogs::confirm(const QString& text, int helpContext) {
    events.push_back({PortEvent::Confirm, text, helpContext});
    Answer a = next(text);
    if (a.kind != Answer::Yes && a.kind != Answer::No && a.kind != Answer::Cancel)
        ADD_FAILURE() << "Yes/No question answered otherwise: " << text.toStdString();
    return a.kind == Answer::Yes;
}

AbortIgnore ScriptedDialogs::askAbortIgnore(const QString& text) {
    events.push_back({PortEvent::AbortIgnoreBox, text});
    Answer a = next(text);
    if (a.kind != Answer::Abort && a.kind != Answer::Ignore && a.kind != Answer::Cancel)
        ADD_FAILURE() << "Abort/Ignore question answered otherwise: " << text.toStdString();
    return a.kind == Answer::Ignore ? AbortIgnore::Ignore : AbortIgnore::Abort;
}

void ScriptedDialogs::plainBox(const QString& text, const QString& caption) {
    PortEvent e{PortEvent::Plain, text};
    Q_UNUSED(caption);
    events.push_back(e);
}

std::optional<QString> ScriptedDialogs::prompt(const QString& caption, const QString& label,
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

std::optional<QString> ScriptedDialogs::promptPassword(const QString& caption,
                                                       const QString& label) {
    events.push_back({PortEvent::Prompt, label});
    const Answer a = next("password " + caption);
    if (a.kind == Answer::Text)
        return a.text;
    if (a.kind != Answer::Cancel)
        ADD_FAILURE() << "password prompt answered with a button: " << caption.toStdString();
    return std::nullopt;
}

void ScriptedDialogs::beep() {
    events.push_back({PortEvent::Beep, {}});
}

void ScriptedDialogs::processPendingMessages() {
    ++pumps;
    if (onPump)
        onPump();
}

void ScriptedView::setText(Field field, const QString& text) {
    fields[field] = text;
    PortEvent e{PortEvent::SetText, text};
    e.field = field;
    if (m_log)
        m_log->push_back(e);
}

QString ScriptedView::text(Field field) const {
    return fields.value(field);
}

void ScriptedView::setOn(Field field, bool on) {
    switches[field] = on;
    PortEvent e{PortEvent::SetOn, {}};
    e.field = field;
    e.on = on;
    if (m_log)
        m_log->push_back(e);
}

void ScriptedView::focus(Field field) {
    focused = field;
}
void ScriptedView::showCheckingWindow() {
    ++checkingWindowShows;
}
void ScriptedView::hideProgressWindow() {
    ++progressHides;
}
void ScriptedView::raiseProgressWindow() {
    ++progressRaises;
}
void ScriptedView::showWorkList(const QStringList& lines) {
    shownWorkList = lines;
    ++workListShows;
}
void ScriptedView::refreshQueueStatus() {
    ++queueRefreshes;
}

QStringList ScriptedDialogs::boxes() const {
    QStringList out;
    for (const auto& e : events)
        if (e.kind != PortEvent::Beep && e.kind != PortEvent::SetText && e.kind != PortEvent::SetOn)
            out << e.text;
    return out;
}

int ScriptedDialogs::beeps() const {
    int n = 0;
    for (const auto& e : events)
        n += e.kind == PortEvent::Beep;
    return n;
}

QStringList ScriptedDialogs::dialogue() const {
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
