#pragma once

#include "app/UserPort.h"
#include "platform/FileIo.h"
#include "schemes/AppState.h"
#include "zip/ZipMstr.h"

#include <QString>

namespace quorvia {

// Runs every scheme of the queue, including those queued while it runs, then
// clears the queue. Does nothing when Busy is set on entry. No way out of it,
// an exception included, leaves Busy set or the busy caption on. Zip mode
// works through `zip`, the main window's zip component.
void RunQueue(AppState& state, UserPort& port, platform::FileIo& io = platform::posixFileIo(),
              zip::TZipMaster* zip = nullptr);

// The scheme's name: the file name of its scheme file without ".sch".
QString SchemeName(const QString& schemeFile);

} // namespace quorvia
