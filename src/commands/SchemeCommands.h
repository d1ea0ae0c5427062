#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

#include <QString>
#include <optional>

namespace quorvia {

// Characters refused in a scheme name, in the order they are looked for.
inline const QString kInvalidNameChars = QStringLiteral("/\\?<>|*");

enum class FolderMode { First, Second, Either };

// Checks that the folder boxes are not blank; with messages, says which is missing
// and puts the focus there.
bool ValidateFolders(const Settings& settings, UserPort& port, FolderMode mode, bool withMessages);
// Asks for a new scheme name until it is acceptable; nothing on Cancel.
std::optional<QString> AskSchemeName(AppState& state, UserPort& port);
// "  my DAILY   backup " -> "My Daily   Backup"; at most 255 characters.
QString CapitalizeWords(const QString& text);
// Saves the folder boxes as a new scheme under a name the user gives; true when saved.
bool SaveNewScheme(AppState& state, UserPort& port);
// The "<-  ADD " button: checks both folders (creating them on request), then saves.
void AddScheme(AppState& state, UserPort& port);
// Deletes the selected scheme file (to the trash when Recycle is on).
void DeleteSelectedScheme(AppState& state, UserPort& port);
// A key typed in a folder box: the boxes no longer show a saved scheme.
void FolderBoxEdited(AppState& state, UserPort& port);
// The user's click or key in the scheme list: loads the scheme when it is a new choice.
void SchemeListChange(AppState& state, UserPort& port, int index);

} // namespace quorvia
