#include "app/Alerts.h"

namespace quorvia {

void ShowAlert(UserPort& port, const Settings& settings, const QString& message, AlertKind kind) {
    BeepIfSoundOn(port, settings);
    port.messageBox(kind, message, 0);
}

void BeepIfSoundOn(UserPort& port, const Settings& settings) {
    if (settings.SoundOn)
        port.beep();
}

void SetBusy(AppState& state, UserPort& port, bool on) {
    const QString title = QString::fromLatin1(on ? kBusyTitle : kIdleTitle);
    port.setText(Field::Title, title);
    port.setText(Field::Caption, title);
    port.setOn(Field::Button952, on);
    state.flags.Busy = on;
}

} // namespace quorvia
