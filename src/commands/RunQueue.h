#pragma once

#include "app/AppState.h"
#include "commands/RunPresenter.h"
#include "platform/FileIo.h"
#include "zip/ZipMstr.h"

namespace quorvia {

// Runs every scheme of the queue, including those queued while it runs, then
// clears the queue. Does nothing when Busy is set on entry. No way out of it,
// an exception included, leaves Busy set or the busy caption on. Zip mode
// works through `zip`, the main window's zip component. Problems, refusals
// and questions go to `presenter`; the counters and labels to the window.
void RunBatch(AppState& state, UserPort& port, RunPresenter& presenter,
              platform::FileIo& io = platform::posixFileIo(), zip::TZipMaster* zip = nullptr);

// The same, reporting to the window.
void RunQueue(AppState& state, UserPort& port, platform::FileIo& io = platform::posixFileIo(),
              zip::TZipMaster* zip = nullptr);

} // namespace quorvia
