#include "controls/EnhButtn.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvia::controls;

namespace {

QImage render(QWidget& w) {
    w.show();
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool isInk(QRgb c) {
    return qGray(c) < 110 && qAbs(qRed(c) - qBlue(c)) < 40; // dark text, not a coloured picture
}

// Bounding box of the dark (text) pixels inside `area`.
QRect inkBounds(const QImage& img, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isInk(img.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Separate bands of rows holding text: the lines the caption is drawn on.
int textLines(const QImage& img, const QRect& area) {
    int lines = 0;
    bool inLine = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool ink = false;
        for (int x = area.left(); x <= area.right() && !ink; ++x)
            ink = isInk(img.pixel(x, y));
        lines += ink && !inLine;
        inLine = ink;
    }
    return lines;
}

int countColour(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

QPixmap filled(QColor colour) {
    QPixmap pm(16, 16);
    pm.fill(colour);
    return pm;
}

QFont sized(int points) {
    QFont f = QApplication::font();
    f.setPointSize(points);
    return f;
}

class EnhancedButtonTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QApplication::setStyle("Fusion"); }
};

} // namespace

TEST_F(EnhancedButtonTest, StyleWordIsComputedWhenTheWindowIsCreated) {
    TButton95 plain("OK");
    TCheckBox95 box("Enable Sound (Beeps)");
    EXPECT_EQ(0u, plain.rememberedStyle());
    plain.ensurePolished();
    box.ensurePolished();
    EXPECT_EQ(BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, plain.rememberedStyle());
    EXPECT_EQ(0x0F00u, plain.rememberedStyle());
    EXPECT_EQ(BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER, box.rememberedStyle());

    // Changes before creation are stored and picked up by it, without a rebuild.
    TCheckBox95 early("Send Program Data");
    early.setWordWrap(true);
    early.setLikeButton(true);
    early.setHorAlignment(haRight);
    early.setVerAlignment(vaTop);
    early.Picture()->setBitmap(filled(Qt::red));
    EXPECT_EQ(0u, early.rememberedStyle());
    early.ensurePolished();
    EXPECT_EQ(BS_AUTOCHECKBOX | BS_MULTILINE | BS_PUSHLIKE | BS_RIGHT | BS_TOP | BS_BITMAP,
              early.rememberedStyle());
    EXPECT_EQ(0, early.rebuildCount());
    EXPECT_EQ(1, early.imageSetCount());

    // Forms set the features by property name.
    TButton95 fromForm("<-  ADD ");
    EXPECT_EQ(QVariant::fromValue(haCenter), fromForm.property("HorAlignment"));
    EXPECT_EQ(QVariant::fromValue(vaCenter), fromForm.property("VerAlignment"));
    EXPECT_EQ(false, fromForm.property("WordWrap").toBool());
    EXPECT_EQ(QVariant::fromValue(haLeft), box.property("HorAlignment"));
    ASSERT_TRUE(fromForm.setProperty("WordWrap", true));
    ASSERT_TRUE(fromForm.setProperty("VerAlignment", QVariant::fromValue(vaBottom)));
    fromForm.ensurePolished();
    EXPECT_EQ(BS_MULTILINE | BS_CENTER | BS_BOTTOM, fromForm.rememberedStyle());
}

TEST_F(EnhancedButtonTest, RebuildsExactlyWhenAFeatureChangesAndKeepsStateAndCaption) {
    TCheckBox95 box("Send Program Data");
    box.resize(200, 30);
    box.setChecked(true);
    const QImage before = render(box);
    const QRect captionArea(30, 0, 170, 30); // right of the check box itself
    ASSERT_LT(inkBounds(before, captionArea).left(), 80);

    box.setHorAlignment(haLeft); // the current value
    box.setWordWrap(false);
    box.setLikeButton(false);
    box.setVerAlignment(vaCenter);
    EXPECT_EQ(0, box.rebuildCount());

    box.setHorAlignment(haRight);
    EXPECT_EQ(1, box.rebuildCount());
    EXPECT_EQ(BS_RIGHT, box.rememberedStyle() & BS_CENTER);
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ("Send Program Data", box.text());
    const QImage after = render(box);
    EXPECT_GT(inkBounds(after, captionArea).right(), 185) << "caption not drawn at the right";

    box.setHorAlignment(haRight);
    EXPECT_EQ(1, box.rebuildCount());
    box.setWordWrap(true);
    box.setVerAlignment(vaBottom);
    box.setLikeButton(true);
    EXPECT_EQ(4, box.rebuildCount());
    EXPECT_EQ(BS_AUTOCHECKBOX | BS_MULTILINE | BS_PUSHLIKE | BS_RIGHT | BS_BOTTOM,
              box.rememberedStyle());
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ("Send Program Data", box.text());
}

TEST_F(EnhancedButtonTest, PictureSwapsTheImageOrRebuildsByItsKind) {
    TButton95 button("Caption");
    button.resize(80, 40);
    TPicture* owned = button.Picture();
    ASSERT_GT(textLines(render(button), QRect(4, 4, 72, 32)), 0);

    button.Picture()->setBitmap(filled(Qt::red));
    EXPECT_EQ(1, button.rebuildCount());
    EXPECT_TRUE(button.rememberedStyle() & BS_BITMAP);
    QImage img = render(button);
    EXPECT_EQ(256, countColour(img, qRgb(255, 0, 0)));
    EXPECT_EQ(0, textLines(img, QRect(4, 4, 72, 32))) << "a bitmap button shows no caption";

    // Bitmap for bitmap: only the image is swapped.
    TPicture blue;
    blue.setBitmap(filled(Qt::blue));
    button.setPicture(&blue);
    EXPECT_EQ(owned, button.Picture());
    EXPECT_EQ(1, button.rebuildCount());
    EXPECT_EQ(2, button.imageSetCount()); // red, then blue
    img = render(button);
    EXPECT_EQ(0, countColour(img, qRgb(255, 0, 0)));
    EXPECT_EQ(256, countColour(img, qRgb(0, 0, 255)));

    button.Picture()->setIcon(QIcon(filled(Qt::green)));
    EXPECT_EQ(2, button.rebuildCount());
    EXPECT_EQ(BS_ICON, button.rememberedStyle() & (BS_ICON | BS_BITMAP));

    // Clearing drops the picture style: the caption is drawn again.
    button.setPicture(nullptr);
    EXPECT_EQ(3, button.rebuildCount());
    EXPECT_EQ(0u, button.rememberedStyle() & (BS_ICON | BS_BITMAP));
    img = render(button);
    EXPECT_EQ(0, countColour(img, qRgb(0, 255, 0)));
    EXPECT_EQ(1, textLines(img, QRect(4, 4, 72, 32)));
}

TEST_F(EnhancedButtonTest, WordWrappedCaptionBreaksOverLinesInANarrowButton) {
    for (int points : {8, 10}) {
        TButton95 add("<-  ADD ");
        add.setFont(sized(points));
        add.setGeometry(216, 12, 25, 85);
        const QRect inside(2, 2, 21, 81);
        EXPECT_EQ(1, textLines(render(add), inside)) << points << " pt, unwrapped";
        add.setWordWrap(true);
        const QImage img = render(add);
        EXPECT_EQ(2, textLines(img, inside)) << points << " pt";
        EXPECT_GE(add.captionRect().height(), 2 * add.fontMetrics().height());
        const QRect ink = inkBounds(img, QRect(0, 0, 25, 85));
        EXPECT_LT(qAbs(ink.center().y() - 42), 4) << "wrapped caption is centred";
    }
    // A word too wide for the button reads as one word when stacked.
    TButton95 info(" I NFO");
    info.setFont(sized(8));
    info.setGeometry(216, 102, 25, 127);
    info.setWordWrap(true);
    info.setStackLetters(true);
    EXPECT_EQ(4, textLines(render(info), QRect(2, 2, 21, 123)));
    EXPECT_EQ(" I NFO", info.text());

    TCheckBox95 show("Show List of Files After Copy Process Is Complete (Disabled When Queue "
                     "Has More Than 1 Scheme)");
    show.setFont(sized(7));
    show.resize(292, 25);
    show.setWordWrap(true);
    EXPECT_EQ(2, textLines(render(show), QRect(24, 0, 268, 25)));
}

TEST_F(EnhancedButtonTest, CaptionFollowsBothAlignments) {
    const int w = 160, h = 60;
    for (int hor = haLeft; hor <= haRight; ++hor) {
        for (int ver = vaTop; ver <= vaBottom; ++ver) {
            TButton95 button("Caption");
            button.resize(w, h);
            button.setHorAlignment(THorizontalAlignment(hor));
            button.setVerAlignment(TVerticalAlignment(ver));
            const QRect ink = inkBounds(render(button), QRect(2, 2, w - 4, h - 4));
            ASSERT_FALSE(ink.isEmpty());
            SCOPED_TRACE(testing::Message() << "h " << hor << " v " << ver);
            if (hor == haLeft)
                EXPECT_LT(ink.left(), 10);
            else if (hor == haRight)
                EXPECT_GT(ink.right(), w - 10);
            else
                EXPECT_LE(qAbs(ink.center().x() - w / 2), 3);
            if (ver == vaTop)
                EXPECT_LT(ink.top(), 10);
            else if (ver == vaBottom)
                EXPECT_GT(ink.bottom(), h - 10);
            else
                EXPECT_LE(qAbs(ink.center().y() - h / 2), 3);
        }
    }
}

TEST_F(EnhancedButtonTest, LikeButtonLooksLikeAPushButtonThatStaysPressedWhileChecked) {
    TCheckBox95 like;
    like.setLikeButton(true);
    like.resize(100, 30);
    QPushButton push;
    push.setCheckable(true);
    push.resize(100, 30);

    const QImage likeUp = render(like);
    EXPECT_EQ(push.grab().toImage().convertToFormat(QImage::Format_RGB32), likeUp);
    like.setChecked(true);
    push.setChecked(true);
    const QImage likeDown = render(like);
    EXPECT_EQ(push.grab().toImage().convertToFormat(QImage::Format_RGB32), likeDown);
    EXPECT_NE(likeUp, likeDown);

    // The whole face takes the click, not only the caption.
    like.setText("Go");
    QTest::mouseClick(&like, Qt::LeftButton, {}, QPoint(95, 15));
    EXPECT_FALSE(like.isChecked());
}
