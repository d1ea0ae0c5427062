#include "ui/Links.h"

#include <QLabel>

namespace quorvia {

void StyleAsLink(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
}

void SayNotAvailable(Dialogs& dialogs, const QString& window) {
    dialogs.messageBox(AlertKind::Information,
                       "The " + window + " is not available in this version of Quorvia yet.", 0);
}

} // namespace quorvia
