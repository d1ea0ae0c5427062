#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

namespace quorvia {

inline constexpr const char* kIdleTitle = "Quorvia";
inline constexpr const char* kBusyTitle =
    "Quorvia (A)"; // 11 characters; the progress caption relies on it

// The program's message box: beeps first when SoundOn is on, then a modal box
// of `kind` with OK and help context 0.
void ShowAlert(UserPort& port, const Settings& settings, const QString& message, AlertKind kind);
// Beep before a command acts, when SoundOn is on.
void BeepIfSoundOn(UserPort& port, const Settings& settings);
// Busy indicator: title and caption, the abort button and the Busy flag.
void SetBusy(AppState& state, UserPort& port, bool on);

} // namespace quorvia
