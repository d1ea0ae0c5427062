#pragma once

#include "app/Dialogs.h"
#include "zip/ZipBoxes.h"

namespace quorvia {

// The zip component's own boxes, through the program's questions.
class ZipBoxesOnDialogs : public zip::ZipBoxes {
public:
    explicit ZipBoxesOnDialogs(Dialogs& dialogs) : m_dialogs(dialogs) {}
    void plainBox(const QString& text) override { m_dialogs.plainBox(text); }
    void beep() override { m_dialogs.beep(); }

private:
    Dialogs& m_dialogs;
};

} // namespace quorvia
