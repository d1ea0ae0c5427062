// The send-queue chunk, the line buffers and the countdown control.
#include "mail/LineBuffer.h"
#include "mail/WSockbuf.h"
#include "mail/Wait.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>
#include <gtest/gtest.h>

using namespace quorvia::mail;

namespace {

class CountingWait : public TWait {
public:
    int beeps = 0;

protected:
    void Beep() override { ++beeps; }
};

// Records what input reaches it.
class InputProbe : public QWidget {
public:
    QStringList seen;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        seen << (e->button() == Qt::MiddleButton ? "middle" : "press");
    }
    void mouseMoveEvent(QMouseEvent*) override { seen << "move"; }
    void keyPressEvent(QKeyEvent*) override { seen << "key"; }
};

} // namespace

TEST(MailSendBuffer, FillsDrainsAndStartsOverWhenEmpty) {
    TBuffer chunk;
    const QByteArray data(2000, 'a');
    EXPECT_EQ(chunk.BufSize(), 1514);
    EXPECT_EQ(chunk.Write(data.constData(), 2000), 1514);
    EXPECT_EQ(chunk.Write("b", 1), 0); // full
    int len = 0;
    const char* first = chunk.Peek(len);
    EXPECT_EQ(len, 1514);
    EXPECT_EQ(chunk.Remove(1514), 1514);
    EXPECT_EQ(chunk.Peek(len), nullptr);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(chunk.Write("xyz", 3), 3);
    EXPECT_EQ(chunk.Peek(len), first); // reused from the start of the block
    EXPECT_EQ(QByteArray(first, len), "xyz");

    TBuffer small(40);
    small.Write(data.constData(), 40);
    EXPECT_EQ(small.Remove(100), 40);
    EXPECT_EQ(small.Remove(1), 0);
}

TEST(MailSendBuffer, ResizeKeepsPendingBytes) {
    TBuffer chunk(0);
    EXPECT_EQ(chunk.BufSize(), 1514);
    chunk.Write("0123456789", 10);
    chunk.Remove(4);
    chunk.SetBufSize(6); // smaller than what was written: nothing is lost
    EXPECT_EQ(chunk.BufSize(), 10);
    int len = 0;
    EXPECT_EQ(QByteArray(chunk.Peek(len), 6), "456789");
    chunk.SetBufSize(4000);
    EXPECT_EQ(QByteArray(chunk.Peek(len), len), "456789");
    EXPECT_EQ(chunk.Write(QByteArray(5000, 'z').constData(), 5000), 3990);
}

TEST(MailLineBuffer, CopiesWholeCharactersAndNeverPastTheBuffer) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    CopyToBuffer(buffer, sizeof buffer, QByteArray()); // no data behind it at all
    EXPECT_EQ(buffer[0], '\0');
    CopyToBuffer(buffer, sizeof buffer, "abc");
    EXPECT_EQ(BufferText(buffer, 7), "abc");
    CopyToBuffer(buffer, 5, "ab\xc3\xa9\xc3\xa9"); // room for "ab" and one character
    EXPECT_EQ(BufferText(buffer, 7), "ab\xc3\xa9");
    CopyToBuffer(buffer, 0, "never"); // no room, nothing written
    EXPECT_EQ(BufferText(buffer, 7), "ab\xc3\xa9");
    std::memset(buffer, 'y', sizeof buffer); // a handler that left no terminator
    EXPECT_EQ(BufferText(buffer, 7), "yyyyyyy");
}

TEST(MailWaitControl, CountsDownToTimeoutAndShowsTheStartAgain) {
    TWait wait;
    wait.SetInterval(20);
    wait.SetCaption("3");
    QList<int> ticks;
    int timeouts = 0, stops = 0, passes = 0;
    wait.OnWait = [&](TCustomWait*, int n) { ticks << n; };
    wait.OnTimeout = [&](TCustomWait* w) {
        ++timeouts;
        EXPECT_EQ(w->Caption(), "3");
    };
    wait.OnWaitStop = [&](TCustomWait*) { ++stops; };
    wait.OnWaiting = [&](TCustomWait*) { ++passes; };
    wait.RunModal();
    EXPECT_EQ(ticks, QList<int>({2, 1, 0}));
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(stops, 0);
    EXPECT_GT(passes, 0);
    EXPECT_EQ(wait.ModalResult(), TCustomWait::mrTimedOut);
    EXPECT_EQ(wait.Caption(), "3");
    EXPECT_FALSE(wait.Running());
}

TEST(MailWaitControl, StopEndsTheModalLoopWithoutTimeout) {
    TWait wait;
    wait.SetInterval(100);
    wait.SetCaption("20");
    int timeouts = 0;
    wait.OnTimeout = [&](TCustomWait*) { ++timeouts; };
    QTimer::singleShot(150, &wait, [&] { wait.Stop(); });
    QElapsedTimer clock;
    clock.start();
    wait.RunModal();
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(wait.ModalResult(), TCustomWait::mrStopped);
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(wait.Caption(), "20");
}

TEST(MailWaitControl, CaptionWithoutNumberCountsFifteen) {
    for (const char* caption : {"0", "abc", ""}) {
        TWait wait;
        wait.SetCaption(caption);
        wait.Start();
        EXPECT_EQ(wait.Caption(), "15");
        EXPECT_EQ(wait.InitialCount(), 15);
        EXPECT_TRUE(wait.Running());
        wait.Stop();
    }
    TWait wait;
    wait.SetCaption("  7 seconds");
    wait.Start();
    EXPECT_EQ(wait.InitialCount(), 7);
    wait.Stop();
}

TEST(MailWaitControl, RunModalDropsClicksAndKeysWithABeep) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new QPushButton("Go", &window);
    auto* probe = new InputProbe;
    probe->setMouseTracking(true);
    probe->setMinimumSize(50, 50);
    layout->addWidget(button);
    layout->addWidget(probe);
    auto* wait = new CountingWait;
    layout->addWidget(wait);
    int clicks = 0, shortcuts = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    auto* shortcut = new QShortcut(QKeySequence("Ctrl+S"), &window);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++shortcuts; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    probe->setFocus();

    int ticks = 0;
    wait->OnWait = [&](TCustomWait*, int) { ++ticks; };
    wait->SetInterval(50);
    wait->SetCaption("8");
    QList<int> beepsPerAction; // left, right, double click, key, shortcut, middle, moves
    QTimer::singleShot(60, &window, [&] {
        const QList<std::function<void()>> actions = {
            [&] { QTest::mouseClick(button, Qt::LeftButton); },
            [&] { QTest::mouseClick(probe, Qt::RightButton); },
            [&] { QTest::mouseDClick(probe, Qt::LeftButton); },
            [&] { QTest::keyClick(probe, Qt::Key_A); },
            [&] { QTest::keyClick(probe, Qt::Key_S, Qt::ControlModifier); },
            [&] {
                QTest::mousePress(probe, Qt::MiddleButton);
                QTest::mouseRelease(probe, Qt::MiddleButton);
            },
            [&] {
                QTest::mouseMove(probe, QPoint(10, 10));
                QTest::mouseMove(probe, QPoint(20, 20));
            },
        };
        for (const auto& act : actions) {
            const int before = wait->beeps;
            act();
            beepsPerAction << wait->beeps - before;
        }
    });
    wait->RunModal();
    EXPECT_EQ(ticks, 8); // timers went on
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(shortcuts, 0);
    EXPECT_FALSE(probe->seen.contains("press"));
    EXPECT_FALSE(probe->seen.contains("key"));
    EXPECT_TRUE(probe->seen.contains("middle"));
    EXPECT_TRUE(probe->seen.contains("move"));
    ASSERT_EQ(beepsPerAction.size(), 7);
    for (int i = 0; i < 5; ++i)
        EXPECT_GE(beepsPerAction[i], 1) << "action " << i;
    EXPECT_EQ(beepsPerAction.mid(5), QList<int>({0, 0}));

    // Afterwards input reaches the application again.
    const int beeps = wait->beeps;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(wait->beeps, beeps);
}

TEST(MailWaitControl, BarShrinksWithTheCount) {
    TWait wait;
    EXPECT_EQ(wait.size(), QSize(192, 32));
    EXPECT_EQ(wait.Caption(), "60");
    wait.SetCaption("30");
    const QImage half = wait.grab().toImage();
    const int bar = 30 * (192 - 7) / 60; // 92 pixels of 185
    const QColor highlight = wait.palette().color(QPalette::Highlight);
    EXPECT_EQ(half.pixelColor(3 + bar - 2, 24), highlight);
    EXPECT_EQ(half.pixelColor(3 + bar + 4, 24), QColor(Qt::white));
    wait.SetCaption("60");
    const QImage full = wait.grab().toImage();
    EXPECT_EQ(full.pixelColor(185, 24), highlight);
}
