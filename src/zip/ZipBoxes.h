#pragma once

#include <QString>

namespace quorvia::zip {

// How the zip component reaches the user: plain boxes with an OK button, and
// the beep. The program adapts its user-interaction port to this.
class ZipBoxes {
public:
    virtual ~ZipBoxes() = default;
    virtual void plainBox(const QString& text) = 0;
    virtual void beep() = 0;
};

} // namespace quorvia::zip
