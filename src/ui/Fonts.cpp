#include "ui/Fonts.h"

#include <QApplication>
#include <QFont>

namespace quorvia {

void UseProgramFont() {
    QFont font = QApplication::font();
    font.setFamilies({"Liberation Sans", "Arimo", "Arial", "Helvetica", "Nimbus Sans",
                      "DejaVu Sans", "Sans Serif"});
    font.setPointSize(8);
    QApplication::setFont(font);
}

} // namespace quorvia
