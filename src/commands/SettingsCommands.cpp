#include "commands/SettingsCommands.h"

#include "app/Alerts.h"
#include "app/IntegerText.h"
#include "app/SettingsLoader.h"

namespace quorvia {

ZipLevelResult AcceptZipLevel(Settings& settings, Dialogs& dialogs, const QString& levelText) {
    const auto level = StrToInt(levelText);
    if (!level) {
        dialogs.messageBox(AlertKind::Warning, NotAnIntegerMessage(levelText), 0);
        return ZipLevelResult::NotAnInteger;
    }
    if (*level < 0 || *level > 9) {
        BeepIfSoundOn(dialogs, settings);
        ShowAlert(dialogs, settings, "ZIP Compression Invalid", AlertKind::Warning);
        return ZipLevelResult::OutOfRange;
    }
    settings.ZipCompression = *level;
    return SaveSettings(settings, dialogs) ? ZipLevelResult::Saved : ZipLevelResult::NotStored;
}

} // namespace quorvia
