#pragma once

#include <QBrush>
#include <QFont>
#include <QPen>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quorvia::mail {

class TCustomWait;
using TWaitEvent = std::function<void(TCustomWait* Sender, int Count)>;
using TWaitNotify = std::function<void(TCustomWait* Sender)>;

// A small control that counts whole ticks down, shows the count as text over a
// shrinking bar, and serves as the visible timeout of the socket's waits. While
// it runs modally, key presses and mouse clicks anywhere in the application are
// dropped with a beep; painting, timers and socket events go on.
class TCustomWait : public QWidget {
    Q_OBJECT
public:
    enum { mrNone = 0, mrStopped = 1, mrTimedOut = 2 };

    explicit TCustomWait(QWidget* parent = nullptr);
    ~TCustomWait() override;

    // The count shown, as decimal text; it is also the countdown's state.
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    quint16 Interval() const { return quint16(m_timer.interval()); }
    void SetInterval(quint16 ms) { m_timer.setInterval(ms); }
    bool Running() const { return m_timer.isActive(); }
    int InitialCount() const { return m_initialCount; }

    virtual void Start();
    virtual void Stop();
    virtual void RunModal();
    virtual void ResetCount();

    TWaitEvent OnWait;     // every tick, with the new count
    TWaitNotify OnWaiting; // every pass of the modal loop
    TWaitNotify OnWaitStart;
    TWaitNotify OnWaitStop;
    TWaitNotify OnTimeout;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The input filter of RunModal.
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void Beep();

private:
    void Tick();

    QTimer m_timer;
    QString m_caption = QStringLiteral("60");
    int m_initialCount = 60;
    int m_modalResult = mrNone;
    int m_modalDepth = 0;
    QPen m_pen;
    QFont m_font;
    QBrush m_brush;
};

class TWait : public TCustomWait {
    Q_OBJECT
public:
    using TCustomWait::TCustomWait;
};

} // namespace quorvia::mail
