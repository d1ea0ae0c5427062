#include "mail/EventPump.h"

#include <QCoreApplication>
#include <QTimer>

namespace quorvia::mail {

void PumpEvents(int maxWaitMs) {
    if (maxWaitMs <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QTimer wake; // bounds the sleep: its expiry is itself an event
    wake.setSingleShot(true);
    wake.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace quorvia::mail
