#include "ui/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace quorvia {

std::function<int(QDialog&)> QtDialogs::answerNextBox;

namespace {
QString title() {
    return QApplication::applicationDisplayName();
}
} // namespace

int QtDialogs::run(QDialog& box) {
    if (answerNextBox)
        return answerNextBox(box);
    return box.exec();
}

void QtDialogs::messageBox(AlertKind kind, const QString& text, int) {
    QMessageBox box(kind == AlertKind::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    title(), text, QMessageBox::Ok, m_parent);
    run(box);
}

bool QtDialogs::confirm(const QString& text, int) {
    QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return run(box) == QMessageBox::Yes;
}

AbortIgnore QtDialogs::askAbortIgnore(const QString& text) {
    QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Abort | QMessageBox::Ignore,
                    m_parent);
    box.setDefaultButton(QMessageBox::Ignore);
    box.setEscapeButton(QMessageBox::Abort);
    return run(box) == QMessageBox::Ignore ? AbortIgnore::Ignore : AbortIgnore::Abort;
}

void QtDialogs::plainBox(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? title() : caption, text,
                    QMessageBox::Ok, m_parent);
    run(box);
}

std::optional<QString> QtDialogs::prompt(const QString& caption, const QString& label,
                                         const QString& initial) {
    QInputDialog box(m_parent);
    box.setWindowTitle(caption);
    box.setLabelText(label);
    box.setTextValue(initial);
    box.setInputMode(QInputDialog::TextInput);
    if (run(box) != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

std::optional<QString> QtDialogs::promptPassword(const QString& caption, const QString& label) {
    QInputDialog box(m_parent);
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
