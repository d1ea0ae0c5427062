#pragma once

namespace quorvia::cli {

// Everything the program does from its command line, with QtCore alone.
// Returns the exit status.
int RunCommandLine(int argc, char** argv);

} // namespace quorvia::cli
