#pragma once

#include "app/BusyState.h"
#include "app/Dialogs.h"
#include "app/MainView.h"
#include "app/Settings.h"

#include <QString>

namespace quorvia {

inline constexpr const char* kIdleTitle = "Quorvia";
inline constexpr const char* kBusyTitle = "Quorvia (A)";
// The progress caption starts with the busy title and adds the queue and percentage.
inline constexpr int kBusyTitleLength = 11;
static_assert(std::char_traits<char>::length(kBusyTitle) == kBusyTitleLength);

// The program's message box: beeps first when SoundOn is on, then a modal box
// of `kind` with OK and help context 0.
void ShowAlert(Dialogs& dialogs, const Settings& settings, const QString& message, AlertKind kind);
// Beep before a command acts, when SoundOn is on.
void BeepIfSoundOn(Dialogs& dialogs, const Settings& settings);
// Busy indicator: title and caption, the abort button and the Busy flag.
void SetBusy(BusyState& flags, MainView& view, bool on);

} // namespace quorvia
