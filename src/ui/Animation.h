#pragma once

#include <QTimer>
#include <QWidget>

namespace quorvia {

// The searching animations of the progress window and the about box: a
// magnifying glass sweeping over a page (find file) or a folder (find
// folder), played frame by frame over and over while active.
class FindAnimation : public QWidget {
    Q_OBJECT
public:
    enum class Kind { FindFile, FindFolder };
    static constexpr int kFindFileFrames = 23;
    static constexpr int kFindFolderFrames = 29;

    explicit FindAnimation(QWidget* parent = nullptr);

    void setKind(Kind kind);
    Kind kind() const { return m_kind; }
    int frameCount() const;
    int frame() const { return m_frame; }

    // Active: plays from the first frame; inactive: stops on the current one.
    // An active animation that is hidden waits and plays on when shown again.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    bool isPlaying() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void advance();

    Kind m_kind = Kind::FindFile;
    int m_frame = 0;
    bool m_active = false;
    QTimer m_timer;
};

} // namespace quorvia
