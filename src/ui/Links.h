#pragma once

#include "app/Dialogs.h"

#include <QString>

class QLabel;

namespace quorvia {

// A label that opens something: blue, with the underlined font of its form.
void StyleAsLink(QLabel* label);
// What a command says while the window it opens does not exist yet.
void SayNotAvailable(Dialogs& dialogs, const QString& window);

} // namespace quorvia
