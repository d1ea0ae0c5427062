#include "mail/Wait.h"

#include "mail/EventPump.h"
#include "mail/LeadingNumber.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QtDebug>

namespace quorvia::mail {

TCustomWait::TCustomWait(QWidget* parent) : QWidget(parent) {
    resize(192, 32);
    m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_font.setPointSize(8);
    m_font.setFixedPitch(true);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A handler's exception must not unwind through the event loop.
        try {
            Tick();
        } catch (const std::exception& ex) {
            qWarning("Unhandled exception in a countdown handler: %s", ex.what());
        } catch (...) {
            qWarning("Unhandled exception in a countdown handler");
        }
    });
}

TCustomWait::~TCustomWait() = default;

void TCustomWait::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void TCustomWait::Start() {
    m_initialCount = LeadingNumber(m_caption);
    if (m_initialCount == 0) {
        m_initialCount = 15;
        SetCaption(QStringLiteral("15"));
    }
    m_timer.start();
    if (OnWaitStart)
        OnWaitStart(this);
}

void TCustomWait::Stop() {
    m_modalResult = mrStopped;
    m_timer.stop();
    SetCaption(QString::number(m_initialCount));
    if (OnWaitStop)
        OnWaitStop(this);
}

void TCustomWait::ResetCount() {
    SetCaption(QString::number(m_initialCount));
}

void TCustomWait::Tick() {
    const int n = LeadingNumber(m_caption) - 1;
    if (OnWait)
        OnWait(this, n);
    if (n > 0) {
        SetCaption(QString::number(n));
    } else {
        m_timer.stop();
        m_modalResult = mrTimedOut;
        SetCaption(QString::number(m_initialCount));
        if (OnTimeout)
            OnTimeout(this);
    }
    update();
}

void TCustomWait::RunModal() {
    QPointer<TCustomWait> self(this); // a handler may delete the control meanwhile
    if (m_modalDepth++ == 0)
        qApp->installEventFilter(this);
    m_modalResult = mrNone;
    Start();
    while (self && Running()) {
        if (OnWaiting)
            OnWaiting(this);
        if (!self)
            break;
        PumpEvents(Interval());
    }
    if (self && --m_modalDepth == 0)
        qApp->removeEventFilter(this);
}

bool TCustomWait::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed so that no shortcut fires; the key press that follows is dropped.
        event->accept();
        return true;
    case QEvent::KeyPress:
        Beep();
        event->accept();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (button != Qt::LeftButton && button != Qt::RightButton)
            break;
        Beep();
        event->accept();
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TCustomWait::Beep() {
    QApplication::beep();
}

void TCustomWait::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    const long long bar =
        m_initialCount > 0 ? (long long)LeadingNumber(m_caption) * (w - 7) / m_initialCount : 0;
    QPainter p(this);
    p.setPen(m_pen);
    p.setFont(m_font);
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawRect(QRect(QPoint(0, 0), QPoint(w - 2, h - 2)));
    p.setBrush(palette().color(QPalette::Highlight));
    p.drawRect(QRect(QPoint(3, 3), QPoint(int(qMin<long long>(bar, w)) + 2, h - 5)));
    p.drawText(QRect(4, h / 2 - 8, qMax(0, w - 8), qMax(0, h - (h / 2 - 8))),
               Qt::AlignLeft | Qt::AlignTop, m_caption);
}

} // namespace quorvia::mail
