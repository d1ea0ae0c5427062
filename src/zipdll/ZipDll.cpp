// Entry points of libzipdll.so. Nothing thrown inside gets past them: the
// caller is C and learns of failures through its message callback.
#include "zip/ZipDllInterface.h"
#include "zipdll/ArchiveWriter.h"
#include "zipdll/FileSpecs.h"
#include "zipdll/Reporter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

namespace zipdll {

namespace {

constexpr int32_t kVersion = 110;

bool on(int32_t flag) {
    return flag != 0;
}

// A buffer of the block as text, or false when it is missing its terminator.
bool takeText(const char* buffer, size_t capacity, std::string& text) {
    if (!buffer) {
        text.clear();
        return true;
    }
    const size_t n = strnlen(buffer, capacity);
    if (n == capacity)
        return false;
    text.assign(buffer, n);
    return true;
}

int32_t run(const ZipParams& p, Reporter& reporter) {
    std::string archive;
    if (!takeText(p.zipFilename, ZIPDLL_NAME_BUFFER, archive) || archive.empty()) {
        reporter.message(ZIPDLL_ERR_BAD_BLOCK, "No usable archive name was given");
        return 0;
    }
    if (p.fileSpecCount < 0 || p.fileSpecCount > ZIPDLL_MAX_FSPECS) {
        reporter.message(ZIPDLL_ERR_BAD_BLOCK, "The number of file patterns (" +
                                                   std::to_string(p.fileSpecCount) +
                                                   ") is out of range");
        return 0;
    }
    WriteOptions write;
    if (!takeText(p.password, ZIPDLL_PASSWORD_BUFFER, write.password)) {
        reporter.message(ZIPDLL_ERR_BAD_BLOCK, "The password is not terminated");
        return 0;
    }
    write.level = std::clamp<int32_t>(p.compLevel, 0, 9);
    if (write.level != p.compLevel)
        reporter.info("Compression level " + std::to_string(p.compLevel) + " taken as " +
                      std::to_string(write.level));
    write.encrypt = on(p.encrypt);
    write.update = on(p.update);
    write.freshen = on(p.freshen) && !write.update;
    write.move = on(p.move);
    write.zipTime = on(p.zipTime);
    write.forceDos = on(p.forceDos);
    if (write.encrypt && write.password.empty()) {
        reporter.message(ZIPDLL_ERR_NO_PASSWORD,
                         "Encryption was asked for without a password: nothing was added");
        return 0;
    }

    WalkOptions walk;
    walk.recurse = on(p.recurse);
    walk.hidden = on(p.addHiddenFiles);
    walk.junkDirNames = on(p.junkDirNames);
    struct stat st {};
    if (stat(archive.c_str(), &st) == 0) {
        walk.haveArchive = true;
        walk.archiveDevice = st.st_dev;
        walk.archiveInode = st.st_ino;
    }
    SpecReader reader(walk, reporter);
    for (int32_t i = 0; i < p.fileSpecCount; ++i) {
        std::string fileSpec;
        if (!takeText(p.fileSpecs[i], ZIPDLL_NAME_BUFFER, fileSpec)) {
            reporter.message(ZIPDLL_ERR_BAD_BLOCK,
                             "File pattern " + std::to_string(i + 1) + " is not terminated");
            continue;
        }
        if (!reader.read(fileSpec)) {
            reporter.info("The add was cancelled; the archive was left as it was");
            return 0;
        }
    }
    if (reader.items().empty()) {
        reporter.info("Nothing to add to " + archive);
        return 0;
    }
    ArchiveWriter writer(write, reporter);
    const int32_t added = writer.write(archive, reader.items());
    std::fill(write.password.begin(), write.password.end(), '\0');
    return added;
}

} // namespace

} // namespace zipdll

extern "C" __attribute__((visibility("default"))) int32_t ZipDllExec(ZipParams* params) {
    if (!params)
        return 0;
    try {
        zipdll::Reporter reporter(*params);
        int32_t added = 0;
        try {
            added = zipdll::run(*params, reporter);
        } catch (const std::bad_alloc&) {
            reporter.message(ENOMEM, "Out of memory: nothing was added");
        } catch (const std::exception& e) {
            reporter.message(ZIPDLL_ERR_INTERNAL, std::string("The add stopped: ") + e.what());
        } catch (...) {
            reporter.message(ZIPDLL_ERR_INTERNAL, "The add stopped");
        }
        reporter.endOfBatch();
        return added;
    } catch (...) {
        return 0;
    }
}

extern "C" __attribute__((visibility("default"))) int32_t GetZipDllVersion(void) {
    return zipdll::kVersion;
}
