#pragma once

namespace quorvia {

// What the program says about itself: stored at every start, shown by the
// stats dialog and the about box.
inline constexpr const char* kProgramVersion = "v1.10";
inline constexpr const char* kCompileDate = "10/04/98";
// Where feedback mail goes; the stats dialog's link shows it.
inline constexpr const char* kFeedbackAddress = "quorvia@plimsow.example";

} // namespace quorvia
