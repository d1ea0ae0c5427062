#pragma once

namespace quorvia {

// The program's font: a sans face of the width the windows are laid out for
// (metric-compatible faces first), at the design's point sizes.
void UseProgramFont();

} // namespace quorvia
