#pragma once

#include "zipdll/FileSpecs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zipdll {

class Reporter;

struct WriteOptions {
    int level = 9; // 0 stored, 1 to 9 deflated
    bool encrypt = false;
    std::string password;
    bool update = false;
    bool freshen = false;
    bool move = false;
    bool zipTime = false;
    bool forceDos = false;
};

// Writes items into an archive through libzip. The archive is replaced in one
// rename when everything was written; a cancelled or failed add leaves the
// old archive as it was and no temporary file behind.
class ArchiveWriter {
public:
    ArchiveWriter(const WriteOptions& options, Reporter& reporter);
    // Number of files and links added, 0 when the archive was left as it was.
    int32_t write(const std::string& archive, std::vector<Item>& items);

private:
    WriteOptions m_options;
    Reporter& m_reporter;
};

} // namespace zipdll
