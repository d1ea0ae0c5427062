#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;

namespace quorvia {

inline constexpr const char* kHelpFileName = "Quorvia.html";
inline constexpr const char* kVersionNotesName = "Version.txt";

// The help file: the scheme folder's copy first, else the program's own
// (beside the executable, or where it is installed). Empty when there is none;
// `lookedAt` lists the places tried.
QString FindHelpFile(const QString& schemeDir, QStringList* lookedAt = nullptr);

// Opens the help at a context (0: the contents page); says which file it
// looked for when there is none.
void OpenHelp(Dialogs& dialogs, const QString& schemeDir, int context);

// Help context of a control: its own, or its nearest parent's; 0 when none.
int HelpContextOf(const QWidget* widget);
// F1 anywhere in `window` opens the help at the focused control's context.
void AddHelpKey(QWidget& window, Dialogs& dialogs, const Settings& settings);

// The version notes beside the program (or where it is installed); empty when missing.
QString FindVersionNotes(QStringList* lookedAt = nullptr);
// "What's New": the note about this version, then Version.txt opened for
// reading; when the file is missing the note says where it was looked for.
void ShowWhatsNew(Dialogs& dialogs, const Settings& settings);

// Tests see the address instead of a browser or viewer opening.
extern std::function<bool(const QUrl&)> openHelpUrl;

} // namespace quorvia
