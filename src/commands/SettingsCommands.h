#pragma once

#include "app/Dialogs.h"
#include "app/Settings.h"

#include <QString>

namespace quorvia {

enum class ZipLevelResult {
    Saved,        // level taken over and every setting stored
    NotAnInteger, // the framework's conversion box was shown
    OutOfRange,   // "ZIP Compression Invalid" was shown
    NotStored,    // level taken over, but a value could not be written (reported)
};

// The zip settings dialog's OK after its boxes are taken over: the level text
// converted, checked to lie in 0 to 9, then every setting stored. A refused
// level leaves ZipCompression as it was and stores nothing.
ZipLevelResult AcceptZipLevel(Settings& settings, Dialogs& dialogs, const QString& levelText);

} // namespace quorvia
