#include "ui/QtPort.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace quorvia {

void QtPort::messageBox(AlertKind kind, const QString& text, int) {
    if (kind == AlertKind::Warning)
        QMessageBox::warning(window_, QApplication::applicationDisplayName(), text);
    else
        QMessageBox::information(window_, QApplication::applicationDisplayName(), text);
}

bool QtPort::confirm(const QString& text, int) {
    return QMessageBox::question(window_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

AbortIgnore QtPort::askAbortIgnore(const QString& text) {
    const auto answer =
        QMessageBox::warning(window_, QApplication::applicationDisplayName(), text,
                             QMessageBox::Abort | QMessageBox::Ignore, QMessageBox::Ignore);
    return answer == QMessageBox::Ignore ? AbortIgnore::Ignore : AbortIgnore::Abort;
}

void QtPort::plainBox(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon,
                    caption.isEmpty() ? QApplication::applicationDisplayName() : caption, text,
                    QMessageBox::Ok, window_);
    box.exec();
}

std::optional<QString> QtPort::prompt(const QString& caption, const QString& label,
                                      const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(window_, caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void QtPort::beep() {
    QApplication::beep();
}

void QtPort::processPendingMessages() {
    QApplication::processEvents();
}

void QtPort::setText(Field field, const QString& text) {
    texts_[field] = text;
    if (field == Field::Title)
        QApplication::setApplicationDisplayName(text);
    if (field == Field::Caption && window_)
        window_->setWindowTitle(text);
}

QString QtPort::text(Field field) const {
    return texts_.value(field);
}

void QtPort::setOn(Field, bool) {}

void QtPort::focus(Field) {}
void QtPort::showCheckingWindow() {}
void QtPort::hideProgressWindow() {}
void QtPort::raiseProgressWindow() {}
void QtPort::showWorkList(const QStringList&) {}
void QtPort::refreshQueueStatus() {}

} // namespace quorvia
