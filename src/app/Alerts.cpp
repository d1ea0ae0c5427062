#include "app/Alerts.h"

namespace quorvia {

void ShowAlert(Dialogs& dialogs, const Settings& settings, const QString& message, AlertKind kind) {
    BeepIfSoundOn(dialogs, settings);
    dialogs.messageBox(kind, message, 0);
}

void BeepIfSoundOn(Dialogs& dialogs, const Settings& settings) {
    if (settings.SoundOn)
        dialogs.beep();
}

void SetBusy(BusyState& flags, MainView& view, bool on) {
    const QString title = QString::fromLatin1(on ? kBusyTitle : kIdleTitle);
    view.setText(Field::Title, title);
    view.setText(Field::Caption, title);
    view.setOn(Field::AbortButton, on);
    flags.Busy = on;
}

} // namespace quorvia
