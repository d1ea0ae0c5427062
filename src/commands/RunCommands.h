#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"
#include "zip/ZipMstr.h"

namespace quorvia {

// Puts the selected scheme (with the folders in the boxes) at the end of the queue;
// with no scheme selected, offers to save the boxes as a scheme first.
void QueueSelectedScheme(AppState& state, UserPort& port);
// Whether the selected scheme file waits in (or heads) the queue.
bool SchemeInQueue(const AppState& state);
// The five run commands: queue the selected scheme, then start the batch unless one runs.
void RunSelectedScheme(AppState& state, UserPort& port, zip::TZipMaster* zip = nullptr);
// Scheme files handed over by a command line: each selected, loaded and
// queued as Synch (Go) would, then the batch started unless one runs.
// Returns the schemes queued.
int RunHandedSchemes(AppState& state, UserPort& port, const QStringList& schemeFiles,
                     zip::TZipMaster* zip = nullptr);
// Every 15 seconds: starts a waiting queue when nothing runs.
void Timer2Timer(AppState& state, UserPort& port, zip::TZipMaster* zip = nullptr);

} // namespace quorvia
