#include "controls/EnhButtn.h"

#include <QEvent>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace quorvia::controls {

void TPicture::setBitmap(const QPixmap& bitmap) {
    m_icon = QIcon();
    m_bitmap = bitmap;
    m_kind = bitmap.isNull() ? None : Bitmap;
    Q_EMIT changed();
}

void TPicture::setIcon(const QIcon& icon) {
    m_bitmap = QPixmap();
    m_icon = icon;
    m_kind = icon.isNull() ? None : Icon;
    Q_EMIT changed();
}

void TPicture::clear() {
    m_bitmap = QPixmap();
    m_icon = QIcon();
    m_kind = None;
    Q_EMIT changed();
}

void TPicture::assign(const TPicture* other) {
    if (other == this)
        return;
    m_kind = other ? other->m_kind : None;
    m_bitmap = other ? other->m_bitmap : QPixmap();
    m_icon = other ? other->m_icon : QIcon();
    Q_EMIT changed();
}

uint32_t ButtonLook::alignmentBits(THorizontalAlignment h, TVerticalAlignment v) {
    static constexpr uint32_t horizontal[] = {BS_LEFT, BS_CENTER, BS_RIGHT};
    static constexpr uint32_t vertical[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
    return horizontal[h <= haRight ? h : haCenter] | vertical[v <= vaBottom ? v : vaCenter];
}

uint32_t ButtonLook::pictureBit(const TPicture& picture) {
    switch (picture.kind()) {
    case TPicture::Bitmap:
        return BS_BITMAP;
    case TPicture::Icon:
        return BS_ICON;
    case TPicture::None:
        break;
    }
    return 0;
}

Qt::Alignment ButtonLook::alignment() const {
    Qt::Alignment a;
    switch (style & BS_CENTER) {
    case BS_LEFT:
        a = Qt::AlignLeft;
        break;
    case BS_RIGHT:
        a = Qt::AlignRight;
        break;
    default:
        a = Qt::AlignHCenter;
        break;
    }
    switch (style & BS_VCENTER) {
    case BS_TOP:
        return a | Qt::AlignTop;
    case BS_BOTTOM:
        return a | Qt::AlignBottom;
    default:
        return a | Qt::AlignVCenter;
    }
}

void ButtonLook::applyImage(const TPicture& picture, qreal devicePixelRatio) {
    if (picture.kind() == TPicture::Bitmap) {
        imageType = IMAGE_BITMAP;
        image = picture.bitmap();
    } else if (picture.kind() == TPicture::Icon) {
        imageType = IMAGE_ICON;
        image = picture.icon().pixmap(QSize(32, 32), devicePixelRatio);
    } else {
        return;
    }
    ++imageSets;
}

void ButtonLook::create(uint32_t newStyle, const TPicture& picture, qreal devicePixelRatio) {
    if (created)
        return;
    style = newStyle;
    created = true;
    applyImage(picture, devicePixelRatio);
}

bool ButtonLook::rebuild(uint32_t newStyle, const TPicture& picture, qreal devicePixelRatio) {
    if (!created)
        return false;
    // A new native window starts without an image.
    image = QPixmap();
    imageType = -1;
    style = newStyle;
    applyImage(picture, devicePixelRatio);
    ++rebuilds;
    return true;
}

bool ButtonLook::swapsImageOnly(const TPicture& picture) const {
    return created && (style & pictureBit(picture));
}

namespace {

// The room a caption keeps from the bevel, as the style's own label does.
QRect insetContents(const QRect& contents, const QWidget* w, const QStyleOption& opt) {
    const int m = w->style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, w) / 2;
    return contents.adjusted(m, m, -m, -m);
}

// Text flags for a caption drawn under the given style word.
int captionFlags(const ButtonLook& look, const QWidget* w, const QStyleOption& opt) {
    int flags = int(look.alignment());
    flags |= (look.style & BS_MULTILINE) ? Qt::TextWordWrap : Qt::TextSingleLine;
    flags |= w->style()->styleHint(QStyle::SH_UnderlineShortcut, &opt, w) ? Qt::TextShowMnemonic
                                                                          : Qt::TextHideMnemonic;
    return flags;
}

// The area the caption is laid out in. A word wider than the area would be cut
// off at both sides; let such a caption use the control's full width instead.
QRect captionArea(const QFontMetrics& fm, const QRect& area, const QRect& bounds, int flags,
                  const QString& text) {
    if (fm.boundingRect(area, flags, text).width() <= area.width())
        return area;
    return QRect(bounds.left() + 1, area.top(), bounds.width() - 2, area.height());
}

void drawContents(QStylePainter& p, const QWidget* w, const ButtonLook& look, const QRect& area,
                  int flags, const QString& text, QPalette::ColorRole role,
                  const QStyleOption& opt) {
    if (look.showsImage()) {
        const QPixmap pm = w->isEnabled()
                               ? look.image
                               : w->style()->generatedIconPixmap(QIcon::Disabled, look.image, &opt);
        p.drawItemPixmap(area, int(look.alignment()), pm);
        return;
    }
    p.drawItemText(captionArea(w->fontMetrics(), area, w->rect(), flags, text), flags, w->palette(),
                   w->isEnabled(), text, role);
}

QRect textBounds(const QWidget* w, const ButtonLook& look, const QRect& area, int flags,
                 const QString& text) {
    if (look.showsImage())
        return QStyle::alignedRect(w->layoutDirection(), look.alignment(),
                                   look.image.deviceIndependentSize().toSize(), area);
    const QFontMetrics fm = w->fontMetrics();
    return fm.boundingRect(captionArea(fm, area, w->rect(), flags, text), flags, text);
}

// One letter per line; a mnemonic's '&' stays with its letter.
QString stacked(const QString& caption) {
    QStringList lines;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i].isSpace())
            continue;
        if (caption[i] == u'&' && i + 1 < caption.size())
            lines << caption.mid(i++, 2);
        else
            lines << caption[i];
    }
    return lines.join(u'\n');
}

} // namespace

// ---- TButton95

TButton95::TButton95(QWidget* parent) : TButton95(QString(), parent) {}

TButton95::TButton95(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    connect(&m_picture, &TPicture::changed, this, &TButton95::PictureChanged);
}

TButton95::~TButton95() = default;

void TButton95::setHorAlignment(THorizontalAlignment value) {
    if (value == m_horAlignment)
        return;
    m_horAlignment = value;
    rebuild();
}

void TButton95::setVerAlignment(TVerticalAlignment value) {
    if (value == m_verAlignment)
        return;
    m_verAlignment = value;
    rebuild();
}

void TButton95::setWordWrap(bool value) {
    if (value == m_wordWrap)
        return;
    m_wordWrap = value;
    rebuild();
}

void TButton95::setStackLetters(bool value) {
    m_stackLetters = value;
    updateGeometry();
    update();
}

uint32_t TButton95::createParams() const {
    uint32_t style = BS_PUSHBUTTON;
    if (m_wordWrap)
        style |= BS_MULTILINE;
    style |= ButtonLook::alignmentBits(m_horAlignment, m_verAlignment);
    style |= ButtonLook::pictureBit(m_picture);
    return style;
}

void TButton95::rebuild() {
    if (m_look.rebuild(createParams(), m_picture, devicePixelRatioF())) {
        updateGeometry();
        update();
    }
}

void TButton95::PictureChanged() {
    if (m_look.swapsImageOnly(m_picture)) {
        m_look.applyImage(m_picture, devicePixelRatioF());
        update();
    } else {
        rebuild();
    }
}

bool TButton95::event(QEvent* e) {
    const bool handled = QPushButton::event(e);
    if (e->type() == QEvent::Polish)
        m_look.create(createParams(), m_picture, devicePixelRatioF());
    return handled;
}

QRect TButton95::captionRect() const {
    const_cast<TButton95*>(this)->ensurePolished();
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = m_stackLetters ? stacked(opt.text) : opt.text;
    opt.text.clear();
    opt.icon = QIcon();
    const QRect area = insetContents(
        style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this), this, opt);
    return textBounds(this, m_look, area, captionFlags(m_look, this, opt), caption);
}

void TButton95::paintEvent(QPaintEvent*) {
    ensurePolished();
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = m_stackLetters ? stacked(opt.text) : opt.text;
    opt.text.clear();
    opt.icon = QIcon();
    p.drawControl(QStyle::CE_PushButton, opt);
    QRect area = insetContents(style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this),
                               this, opt);
    if (opt.state & (QStyle::State_On | QStyle::State_Sunken))
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &opt, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &opt, this));
    drawContents(p, this, m_look, area, captionFlags(m_look, this, opt), caption,
                 QPalette::ButtonText, opt);
}

// ---- TCheckBox95

TCheckBox95::TCheckBox95(QWidget* parent) : TCheckBox95(QString(), parent) {}

TCheckBox95::TCheckBox95(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(&m_picture, &TPicture::changed, this, &TCheckBox95::PictureChanged);
}

TCheckBox95::~TCheckBox95() = default;

void TCheckBox95::setHorAlignment(THorizontalAlignment value) {
    if (value == m_horAlignment)
        return;
    m_horAlignment = value;
    rebuild();
}

void TCheckBox95::setLikeButton(bool value) {
    if (value == m_likeButton)
        return;
    m_likeButton = value;
    rebuild();
}

void TCheckBox95::setVerAlignment(TVerticalAlignment value) {
    if (value == m_verAlignment)
        return;
    m_verAlignment = value;
    rebuild();
}

void TCheckBox95::setWordWrap(bool value) {
    if (value == m_wordWrap)
        return;
    m_wordWrap = value;
    rebuild();
}

uint32_t TCheckBox95::createParams() const {
    uint32_t style = BS_AUTOCHECKBOX;
    if (m_wordWrap)
        style |= BS_MULTILINE;
    if (m_likeButton)
        style |= BS_PUSHLIKE;
    style |= ButtonLook::alignmentBits(m_horAlignment, m_verAlignment);
    style |= ButtonLook::pictureBit(m_picture);
    return style;
}

void TCheckBox95::rebuild() {
    if (m_look.rebuild(createParams(), m_picture, devicePixelRatioF())) {
        updateGeometry();
        update();
    }
}

void TCheckBox95::PictureChanged() {
    if (m_look.swapsImageOnly(m_picture)) {
        m_look.applyImage(m_picture, devicePixelRatioF());
        update();
    } else {
        rebuild();
    }
}

bool TCheckBox95::event(QEvent* e) {
    const bool handled = QCheckBox::event(e);
    if (e->type() == QEvent::Polish)
        m_look.create(createParams(), m_picture, devicePixelRatioF());
    return handled;
}

bool TCheckBox95::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

QRect TCheckBox95::textArea() const {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    if (pushLike()) {
        QStyleOptionButton b;
        b.initFrom(this);
        return insetContents(style()->subElementRect(QStyle::SE_PushButtonContents, &b, this), this,
                             b);
    }
    return style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
}

QRect TCheckBox95::indicatorRect(const QRect& area) const {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    QRect r = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
    // The box sits beside the first or last line of a caption aligned to an edge.
    const int line = fontMetrics().height();
    const int offset = qMax(0, (line - r.height()) / 2);
    if ((m_look.style & BS_VCENTER) == BS_TOP)
        r.moveTop(area.top() + offset);
    else if ((m_look.style & BS_VCENTER) == BS_BOTTOM)
        r.moveBottom(area.bottom() - offset);
    return r;
}

QRect TCheckBox95::captionRect() const {
    const_cast<TCheckBox95*>(this)->ensurePolished();
    QStyleOptionButton opt;
    initStyleOption(&opt);
    return textBounds(this, m_look, textArea(), captionFlags(m_look, this, opt), text());
}

void TCheckBox95::paintEvent(QPaintEvent*) {
    ensurePolished();
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    const int flags = captionFlags(m_look, this, opt);
    QRect area = textArea();
    if (pushLike()) {
        // Drawn as a push button that stays pressed while checked.
        QStyleOptionButton b;
        b.initFrom(this);
        b.features = QStyleOptionButton::None;
        if (isDown())
            b.state |= QStyle::State_Sunken;
        else
            b.state |= QStyle::State_Raised;
        if (checkState() != Qt::Unchecked)
            b.state |= QStyle::State_On;
        p.drawControl(QStyle::CE_PushButton, b);
        if (b.state & (QStyle::State_On | QStyle::State_Sunken))
            area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &b, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &b, this));
        drawContents(p, this, m_look, area, flags, caption, QPalette::ButtonText, b);
        return;
    }
    QStyleOptionButton box = opt;
    box.text.clear();
    box.icon = QIcon();
    box.rect = indicatorRect(area);
    p.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    drawContents(p, this, m_look, area, flags, caption, foregroundRole(), opt);
    if (hasFocus() && (m_look.showsImage() || !caption.isEmpty())) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textBounds(this, m_look, area, flags, caption).adjusted(-1, 0, 1, 0) & rect();
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace quorvia::controls
