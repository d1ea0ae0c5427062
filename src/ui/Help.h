#pragma once

#include "app/Dialogs.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace quorvia {

inline constexpr const char* kHelpFileName = "Quorvia.html";

// The help file: the scheme folder's copy first, else the program's own
// (beside the executable, or where it is installed). Empty when there is none;
// `lookedAt` lists the places tried.
QString FindHelpFile(const QString& schemeDir, QStringList* lookedAt = nullptr);

// Opens the help at a context (0: the contents page); says which file it
// looked for when there is none.
void OpenHelp(Dialogs& dialogs, const QString& schemeDir, int context);

// Tests see the address instead of a browser opening.
extern std::function<bool(const QUrl&)> openHelpUrl;

} // namespace quorvia
