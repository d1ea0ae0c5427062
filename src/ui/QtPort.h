#pragma once

#include "app/UserPort.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

namespace quorvia {

// The user-interaction port on real Qt message boxes, parented to a window.
// Fields are kept as texts until the main window takes them over.
class QtPort : public UserPort {
public:
    explicit QtPort(QWidget* window) : window_(window) {}

    void messageBox(AlertKind kind, const QString& text, int helpContext) override;
    bool confirm(const QString& text, int helpContext) override;
    AbortIgnore askAbortIgnore(const QString& text) override;
    void plainBox(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& caption, const QString& label,
                                  const QString& initial) override;
    void beep() override;
    void processPendingMessages() override;
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
    QPointer<QWidget> window_;
    QMap<Field, QString> texts_;
};

} // namespace quorvia
