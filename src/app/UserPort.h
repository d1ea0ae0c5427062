#pragma once

#include "app/Dialogs.h"
#include "app/MainView.h"

namespace quorvia {

// Both sides of the person at the screen, for the steps that ask questions and
// write the window. Steps that need only one side take that side alone.
struct UserPort {
    Dialogs& dialogs;
    MainView& view;
};

} // namespace quorvia
