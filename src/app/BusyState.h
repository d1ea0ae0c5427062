#pragma once

namespace quorvia {

// The two process-wide flags every engine step consults.
struct BusyState {
    bool Busy = false;           // a batch, a stand-alone size scan or free-space query runs
    bool AbortRequested = false; // the user asked the engine to stop
};

} // namespace quorvia
