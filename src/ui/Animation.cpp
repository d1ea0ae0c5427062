#include "ui/Animation.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace quorvia {

FindAnimation::FindAnimation(QWidget* parent) : QWidget(parent) {
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, &FindAnimation::advance);
}

void FindAnimation::setKind(Kind kind) {
    m_kind = kind;
    m_frame = 0;
    update();
}

int FindAnimation::frameCount() const {
    return m_kind == Kind::FindFile ? kFindFileFrames : kFindFolderFrames;
}

void FindAnimation::setActive(bool active) {
    m_active = active;
    if (active) {
        m_frame = 0;
        if (isVisible())
            m_timer.start();
    } else {
        m_timer.stop();
    }
    update();
}

// No ticks while nobody can see it: the about box's animation stays active
// for the whole life of the program.
void FindAnimation::showEvent(QShowEvent* event) {
    if (m_active)
        m_timer.start();
    QWidget::showEvent(event);
}

void FindAnimation::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void FindAnimation::advance() {
    m_frame = (m_frame + 1) % frameCount();
    update();
}

void FindAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
    const qreal unit = std::min(area.width(), area.height());
    const QPointF centre = area.center();

    // What is searched: a page with lines, or a folder.
    if (m_kind == Kind::FindFile) {
        const QRectF page(centre.x() - unit * 0.3, centre.y() - unit * 0.4, unit * 0.6, unit * 0.8);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawRect(page);
        for (int i = 1; i <= 4; ++i) {
            const qreal y = page.top() + page.height() * i / 5.0;
            p.drawLine(QPointF(page.left() + 4, y), QPointF(page.right() - 4, y));
        }
    } else {
        const QRectF body(centre.x() - unit * 0.4, centre.y() - unit * 0.25, unit * 0.8,
                          unit * 0.55);
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(body.adjusted(0, -unit * 0.08, -unit * 0.45, 0));
        p.drawRect(body);
    }

    // The glass goes round once in a cycle of frames.
    const double turn = 2 * std::numbers::pi * m_frame / frameCount();
    const QPointF glass(centre.x() + std::cos(turn) * unit * 0.18,
                        centre.y() + std::sin(turn) * unit * 0.14);
    const qreal radius = unit * 0.16;
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(170, 210, 255, 150));
    p.drawEllipse(glass, radius, radius);
    p.setPen(QPen(QColor(60, 60, 60), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(glass + QPointF(radius * 0.7, radius * 0.7),
               glass + QPointF(radius * 1.7, radius * 1.7));
}

} // namespace quorvia
