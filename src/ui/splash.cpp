#include "ui/splash.h"

#include "app/ProgramInfo.h"
#include "ui/Animation.h"
#include "ui/Help.h"
#include "ui/Links.h"
#include "ui_splash.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace quorvia {

namespace {

// The product picture: the program's icon over a soft band, with room below
// for the names written on it.
QPixmap productPicture(QSize size, qreal ratio) {
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, size.height());
    band.setColorAt(0, QColor(226, 236, 250));
    band.setColorAt(1, QColor(236, 248, 240));
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 4, -1, -4), 8, 8);
    const QPixmap icon(":/quorvia/quorvia.png");
    const int side = std::min(size.width() - 12, 80);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRect((size.width() - side) / 2, 4, side, side), icon);
    return picture;
}

} // namespace

TForm5::TForm5(const Settings& settings, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_settings(settings),
      m_dialogs(dialogs), m_ui(std::make_unique<Ui::TForm5>()) {
    m_ui->setupUi(this);
    setFixedSize(size());
    setModal(false);
    setWindowIcon(QIcon(":/quorvia/quorvia.png"));
    AddHelpKey(*this, m_dialogs, m_settings);
    m_ui->Image2->setPixmap(productPicture(m_ui->Image2->size(), devicePixelRatioF()));
    m_ui->Image2->setScaledContents(false);
    m_ui->Animate1->setKind(FindAnimation::Kind::FindFolder);
    StyleAsLink(m_ui->Label3);
    m_ui->Label3->installEventFilter(this);
    // The names stand on the picture; the title above the panel.
    m_ui->StaticText2->raise();
    m_ui->StaticText4->raise();
    m_ui->StaticText1->raise();
    connect(m_ui->Button2, &QPushButton::clicked, this, &TForm5::Button2Click);

    // Running from creation: the splash closes this long after the program started.
    m_timer1.setSingleShot(false);
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(kSplashMs);
    connect(&m_timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
    m_timer1.start();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm5::~TForm5() = default;

FindAnimation* TForm5::animation() const {
    return m_ui->Animate1;
}

QLabel* TForm5::label(const char* name) const {
    return findChild<QLabel*>(name);
}

void TForm5::showSplash() {
    m_ui->Label2->setText(QString::fromLatin1(kProgramVersion));
    show();
    m_ui->Button2->setFocus();
    m_ui->Animate1->setActive(true);
}

void TForm5::showAbout() {
    m_ui->Label2->setText(QString::fromLatin1(kProgramVersion));
    m_timer1.start(m_aboutMs);
    show();
    raise();
    activateWindow();
    m_ui->Button2->setFocus();
}

void TForm5::Timer1Timer() {
    m_timer1.stop();
    hide();
}

void TForm5::reject() {}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->Label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label3Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::Button2Click() {
    ShowWhatsNew(m_dialogs, m_settings);
}

void TForm5::Label3Click() {
    if (openSendMail)
        openSendMail();
    else
        SayNotAvailable(m_dialogs, "send-mail window");
}

} // namespace quorvia
