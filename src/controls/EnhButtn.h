#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QPushButton>
#include <cstdint>

// A push button and a check box with caption alignment on both axes, word-wrapped
// captions and an optional picture.
//
// Each keeps a native button style word the way a Win32 button would: it is
// computed when the control's window is created (the first polish, just before
// it is first shown or drawn) and again whenever a feature changes, which
// "rebuilds" the control: the style word is recomputed, the picture applied
// anew and the control re-laid out and repainted. Painting follows the
// remembered style word and the applied picture, not the properties, so what is
// on screen is always what the last build made. Before the window exists a
// changed feature is only stored: the creation picks it up.
namespace quorvia::controls {
Q_NAMESPACE

enum THorizontalAlignment : uint8_t { haLeft, haCenter, haRight };
Q_ENUM_NS(THorizontalAlignment)
enum TVerticalAlignment : uint8_t { vaTop, vaCenter, vaBottom };
Q_ENUM_NS(TVerticalAlignment)

// Win32 button styles and the set-image message, with their native values.
inline constexpr uint32_t BS_PUSHBUTTON = 0x0000;
inline constexpr uint32_t BS_AUTOCHECKBOX = 0x0003;
inline constexpr uint32_t BS_ICON = 0x0040;
inline constexpr uint32_t BS_BITMAP = 0x0080;
inline constexpr uint32_t BS_LEFT = 0x0100;
inline constexpr uint32_t BS_RIGHT = 0x0200;
inline constexpr uint32_t BS_CENTER = 0x0300;
inline constexpr uint32_t BS_TOP = 0x0400;
inline constexpr uint32_t BS_BOTTOM = 0x0800;
inline constexpr uint32_t BS_VCENTER = 0x0C00;
inline constexpr uint32_t BS_PUSHLIKE = 0x1000;
inline constexpr uint32_t BS_MULTILINE = 0x2000;
inline constexpr uint32_t BM_SETIMAGE = 0x00F7;
inline constexpr int IMAGE_BITMAP = 0;
inline constexpr int IMAGE_ICON = 1;

// A picture holding a bitmap, an icon or nothing; tells its owner of every change.
class TPicture : public QObject {
    Q_OBJECT
public:
    enum Kind { None, Bitmap, Icon };

    explicit TPicture(QObject* parent = nullptr) : QObject(parent) {}

    Kind kind() const { return m_kind; }
    QPixmap bitmap() const { return m_bitmap; }
    QIcon icon() const { return m_icon; }

    // A null pixmap or icon empties the picture.
    void setBitmap(const QPixmap& bitmap);
    void setIcon(const QIcon& icon);
    void clear();
    // Copies the contents of `other` (nullptr empties); this object stays the same.
    void assign(const TPicture* other);

Q_SIGNALS:
    void changed();

private:
    Kind m_kind = None;
    QPixmap m_bitmap;
    QIcon m_icon;
};

// What the two controls share: the style word, the applied image, the caption drawing.
class ButtonLook {
public:
    uint32_t style = 0; // the remembered style word; 0 until the window is created
    bool created = false;
    int rebuilds = 0;
    int imageSets = 0;  // BM_SETIMAGE sent
    int imageType = -1; // IMAGE_BITMAP, IMAGE_ICON or -1 for none
    QPixmap image;

    static uint32_t alignmentBits(THorizontalAlignment h, TVerticalAlignment v);
    static uint32_t pictureBit(const TPicture& picture);
    // Qt alignment flags of the remembered style word.
    Qt::Alignment alignment() const;
    bool showsImage() const { return (style & (BS_BITMAP | BS_ICON)) && !image.isNull(); }
    // Hands the picture to the "native control".
    void applyImage(const TPicture& picture, qreal devicePixelRatio);
    // Window creation: remember the style word, then apply the image. Once only.
    void create(uint32_t newStyle, const TPicture& picture, qreal devicePixelRatio);
    // Re-creation with a new style word; false while there is no window yet.
    bool rebuild(uint32_t newStyle, const TPicture& picture, qreal devicePixelRatio);
    // Whether a picture change can keep the window: its kind is already in the style.
    bool swapsImageOnly(const TPicture& picture) const;
};

class TButton95 : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(quorvia::controls::THorizontalAlignment HorAlignment READ HorAlignment WRITE
                   setHorAlignment)
    Q_PROPERTY(
        quorvia::controls::TVerticalAlignment VerAlignment READ VerAlignment WRITE setVerAlignment)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(quorvia::controls::TPicture* Picture READ Picture WRITE setPicture)
    Q_PROPERTY(bool StackLetters READ StackLetters WRITE setStackLetters)
public:
    explicit TButton95(QWidget* parent = nullptr);
    explicit TButton95(const QString& caption, QWidget* parent = nullptr);
    ~TButton95() override;

    // Setters are named the way uic calls them for a property.
    THorizontalAlignment HorAlignment() const { return m_horAlignment; }
    void setHorAlignment(THorizontalAlignment value);
    TVerticalAlignment VerAlignment() const { return m_verAlignment; }
    void setVerAlignment(TVerticalAlignment value);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool value);
    TPicture* Picture() { return &m_picture; }
    const TPicture* Picture() const { return &m_picture; }
    void setPicture(TPicture* picture) { m_picture.assign(picture); }
    // Our own: the caption's letters one under another, blanks left out, so
    // that a button too narrow for its word still reads as one word.
    bool StackLetters() const { return m_stackLetters; }
    void setStackLetters(bool value);

    uint32_t rememberedStyle() const { return m_look.style; }
    int rebuildCount() const { return m_look.rebuilds; }
    int imageSetCount() const { return m_look.imageSets; }
    // Where the caption is drawn, as the text's bounding rectangle.
    QRect captionRect() const;

protected Q_SLOTS:
    virtual void PictureChanged();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    uint32_t createParams() const;
    void rebuild();

    ButtonLook m_look;
    THorizontalAlignment m_horAlignment = haCenter;
    TVerticalAlignment m_verAlignment = vaCenter;
    bool m_wordWrap = false;
    bool m_stackLetters = false;
    TPicture m_picture;
};

class TCheckBox95 : public QCheckBox {
    Q_OBJECT
    Q_PROPERTY(quorvia::controls::THorizontalAlignment HorAlignment READ HorAlignment WRITE
                   setHorAlignment)
    Q_PROPERTY(bool LikeButton READ LikeButton WRITE setLikeButton)
    Q_PROPERTY(quorvia::controls::TPicture* Picture READ Picture WRITE setPicture)
    Q_PROPERTY(
        quorvia::controls::TVerticalAlignment VerAlignment READ VerAlignment WRITE setVerAlignment)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
public:
    explicit TCheckBox95(QWidget* parent = nullptr);
    explicit TCheckBox95(const QString& caption, QWidget* parent = nullptr);
    ~TCheckBox95() override;

    THorizontalAlignment HorAlignment() const { return m_horAlignment; }
    void setHorAlignment(THorizontalAlignment value);
    bool LikeButton() const { return m_likeButton; }
    void setLikeButton(bool value);
    TPicture* Picture() { return &m_picture; }
    const TPicture* Picture() const { return &m_picture; }
    void setPicture(TPicture* picture) { m_picture.assign(picture); }
    TVerticalAlignment VerAlignment() const { return m_verAlignment; }
    void setVerAlignment(TVerticalAlignment value);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool value);

    uint32_t rememberedStyle() const { return m_look.style; }
    int rebuildCount() const { return m_look.rebuilds; }
    int imageSetCount() const { return m_look.imageSets; }
    QRect captionRect() const;

protected Q_SLOTS:
    virtual void PictureChanged();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    // The whole control takes clicks, as a native check box does.
    bool hitButton(const QPoint& pos) const override;

private:
    uint32_t createParams() const;
    void rebuild();
    bool pushLike() const { return m_look.style & BS_PUSHLIKE; }
    QRect textArea() const;
    QRect indicatorRect(const QRect& textArea) const;

    ButtonLook m_look;
    THorizontalAlignment m_horAlignment = haLeft;
    bool m_likeButton = false;
    TPicture m_picture;
    TVerticalAlignment m_verAlignment = vaCenter;
    bool m_wordWrap = false;
};

} // namespace quorvia::controls
