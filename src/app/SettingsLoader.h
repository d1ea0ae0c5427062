#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QString>

namespace quorvia {

inline const QString kQuorviaKey = QStringLiteral("Software\\Plimsow\\Quorvia");
inline const QString kMailClientKey =
    QStringLiteral("Software\\Microsoft\\Internet Mail and News\\Mail");

// One text value of the per-user store; `def` when the value is absent.
QString ReadSetting(const QString& key, const QString& name, const QString& def);
// False when the value could not be written.
bool WriteSetting(const QString& key, const QString& name, const QString& text);

// Yes/no values: only the exact text "True" is on.
inline bool IsTrue(const QString& text) {
    return text == QLatin1String("True");
}
inline QString TrueFalse(bool on) {
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

// Start-up: reads every option with its default, checks the install folder
// against `programFolder` and writes the values back.
void LoadSettings(Settings& settings, Dialogs& dialogs, const QString& programFolder);

// The same values as start-up reads, without its question or its writes: for a
// run nobody watches.
void ReadSettings(Settings& settings);

// The dialogs' OK: the scheme folder and the fifteen options in their fixed
// order. The first value that cannot be written ends the series and is shown
// in one box naming it and the settings file; false then.
bool SaveSettings(const Settings& settings, Dialogs& dialogs);

// The warning for values the store refused: `what` was lost, and where it lives.
void ShowStoreFailure(Dialogs& dialogs, const Settings& settings, const QString& what);

// Whether a scheme folder can be listed: not empty and an existing folder.
bool SchemeFolderUsable(const QString& folder);
// Where schemes are listed and saved: the scheme folder, or the program folder
// while that names no existing folder (a No to the install-folder question
// must not leave the program unable to save).
QString SchemeFolderInUse(const Settings& settings, const QString& programFolder);

} // namespace quorvia
