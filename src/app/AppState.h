#pragma once

#include "app/BusyState.h"
#include "app/RunState.h"
#include "app/SchemeList.h"
#include "app/SchemeQueue.h"
#include "app/Settings.h"

#include <QString>

namespace quorvia {

// The process-wide state, owned by the application and passed by reference.
// Tests build their own.
struct AppState {
    Settings settings;
    BusyState flags;
    RunState run;
    SchemeQueue queue;
    SchemeList schemeList;
    QString ProgramFolder; // with a trailing '/'
};

} // namespace quorvia
