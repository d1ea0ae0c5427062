#pragma once

#include "app/UserPort.h"

#include <QCoreApplication>
#include <QMap>
#include <functional>

namespace quorvia::bench {

// A port without windows: boxes are counted and answered "Ignore"/"No", the
// pump is the real event loop's.
class HeadlessPort : public Dialogs, public MainView {
public:
    HeadlessPort() = default;
    HeadlessPort(const HeadlessPort&) = delete;
    HeadlessPort& operator=(const HeadlessPort&) = delete;
    operator UserPort&() { return m_port; }

    QStringList boxes;
    std::function<void(const QString&)> onBox;
    std::function<void()> onPump;

    void messageBox(AlertKind, const QString& text, int) override { box(text); }
    bool confirm(const QString& text, int) override { return box(text), false; }
    AbortIgnore askAbortIgnore(const QString& text) override {
        box(text);
        return AbortIgnore::Ignore;
    }
    void plainBox(const QString& text, const QString&) override { box(text); }
    std::optional<QString> prompt(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> promptPassword(const QString&, const QString&) override {
        return std::nullopt;
    }
    void beep() override {}
    void processPendingMessages() override {
        if (onPump)
            onPump();
        QCoreApplication::processEvents();
    }
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
    void box(const QString& text) {
        boxes << text;
        if (onBox)
            onBox(text);
    }
    QMap<Field, QString> m_fields;
    UserPort m_port{*this, *this};
};

} // namespace quorvia::bench
