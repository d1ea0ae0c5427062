#pragma once

#include "commands/UnattendedPresenter.h"

#include <QCoreApplication>
#include <functional>

namespace quorvia::bench {

// The port of a run nobody watches, keeping every box (a question too) for
// the bench to check, and pumping the real event loop.
class HeadlessPort : public UnattendedPort {
public:
    HeadlessPort() : UnattendedPort([this](const QString& text) { box(text); }) {}

    QStringList boxes;
    std::function<void(const QString&)> onBox;
    std::function<void()> onPump;

    bool confirm(const QString& text, int) override { return box(text), false; }
    void processPendingMessages() override {
        if (onPump)
            onPump();
        QCoreApplication::processEvents();
    }

private:
    void box(const QString& text) {
        boxes << text;
        if (onBox)
            onBox(text);
    }
};

} // namespace quorvia::bench
