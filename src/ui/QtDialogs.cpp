#include "ui/QtDialogs.h"

#include "app/Alerts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>

namespace quorvia {

std::function<int(QDialog&)> QtDialogs::answerNextBox;

namespace {
// Questions and plain boxes carry the program's name; the busy caption is the
// main window's alone.
const QString kTitle = QString::fromLatin1(kIdleTitle);
// The title bar's icon, buttons and margins beside the caption, and room
// for a title font larger than the dialogs' own.
constexpr int kTitleBarExtras = 160;

// The window the person is working in, when it can own a box: a box raised
// from a dialog must not send that dialog behind the main window. The splash
// closes by itself and a pop-up menu is no owner.
QWidget* workingWindow() {
    QWidget* window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (!window || !window->isVisible() || (window->windowFlags() & Qt::FramelessWindowHint) ||
        window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
        return nullptr;
    return window;
}
} // namespace

QWidget* QtDialogs::owner() const {
    QWidget* window = workingWindow();
    return window ? window : m_parent.data();
}

int QtDialogs::run(QDialog& box) {
    // A box has a close button only, and is wide enough for the window
    // manager to show its whole caption beside its icon and buttons (a
    // message box sizes itself; its captions are short).
    box.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // A prompt is as wide as its layout makes it: widen the field in it.
    if (auto* field = qobject_cast<QInputDialog*>(&box) ? box.findChild<QLineEdit*>() : nullptr) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
        field->setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) +
                               kTitleBarExtras - margins.left() - margins.right());
    }
    if (answerNextBox)
        return answerNextBox(box);
    return box.exec();
}

void QtDialogs::messageBox(AlertKind kind, const QString& text, int) {
    // The box's title names its kind, as its icon does.
    const bool warning = kind == AlertKind::Warning;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                    warning ? QStringLiteral("Warning") : QStringLiteral("Information"), text,
                    QMessageBox::Ok, owner());
    run(box);
}

bool QtDialogs::confirm(const QString& text, int) {
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                    owner());
    box.setDefaultButton(QMessageBox::Yes);
    return run(box) == QMessageBox::Yes;
}

AbortIgnore QtDialogs::askAbortIgnore(const QString& text) {
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Abort | QMessageBox::Ignore,
                    owner());
    box.setDefaultButton(QMessageBox::Ignore);
    box.setEscapeButton(QMessageBox::Abort);
    return run(box) == QMessageBox::Ignore ? AbortIgnore::Ignore : AbortIgnore::Abort;
}

void QtDialogs::plainBox(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? kTitle : caption, text,
                    QMessageBox::Ok, owner());
    run(box);
}

std::optional<QString> QtDialogs::prompt(const QString& caption, const QString& label,
                                         const QString& initial) {
    QInputDialog box(owner());
    box.setWindowTitle(caption);
    box.setLabelText(label);
    box.setTextValue(initial);
    box.setInputMode(QInputDialog::TextInput);
    if (run(box) != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

std::optional<QString> QtDialogs::promptPassword(const QString& caption, const QString& label) {
    QInputDialog box(owner());
    box.setWindowTitle(caption);
    box.setLabelText(label);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(QLineEdit::Password);
    if (run(box) != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::processPendingMessages() {
    QApplication::processEvents();
}

} // namespace quorvia
