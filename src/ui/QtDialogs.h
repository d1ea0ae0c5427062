#pragma once

#include "app/Dialogs.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QDialog;

namespace quorvia {

// The questions on real Qt message boxes and the one-line prompt, owned by the
// window the person is working in, else by the main window.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void messageBox(AlertKind kind, const QString& text, int helpContext) override;
    bool confirm(const QString& text, int helpContext) override;
    AbortIgnore askAbortIgnore(const QString& text) override;
    void plainBox(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& caption, const QString& label,
                                  const QString& initial) override;
    std::optional<QString> promptPassword(const QString& caption, const QString& label) override;
    void beep() override;
    void processPendingMessages() override;

    // Tests answer the boxes here instead of running them: the hook gets the
    // fully built box and returns what exec() would have.
    static std::function<int(QDialog&)> answerNextBox;

private:
    int run(QDialog& box);
    QWidget* owner() const;
    QPointer<QWidget> m_parent;
};

} // namespace quorvia
