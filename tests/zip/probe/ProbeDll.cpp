// A stand-in for libzipdll.so that injects what the real library never does:
// faults, scripted callbacks, a damaged archive. The first file pattern
// names the script.
#include "zip/ZipDllInterface.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

[[maybe_unused]] int32_t send(const ZipParams& p, int32_t action, int32_t code, int64_t size,
                              const char* text) {
    ZipCallbackRecord record{};
    record.caller = p.caller;
    record.actionCode = action;
    record.errorCode = code;
    record.fileSize = size;
    std::snprintf(record.text, sizeof(record.text), "%s", text);
    return p.callback(&record);
}

} // namespace

#ifndef PROBE_NO_EXEC
extern "C" __attribute__((visibility("default"))) int32_t ZipDllExec(ZipParams* p) {
    const std::string script = p->fileSpecCount > 0 ? p->fileSpecs[0] : "";
    if (script == "throw")
        throw std::runtime_error("probe fault");
    if (script == "callbacks") {
        send(*p, ZIPDLL_ACTION_NEW_FILE, 0, 5000000000LL, "dir/big.bin");
        send(*p, ZIPDLL_ACTION_PROGRESS, 0, 0, "");
        send(*p, ZIPDLL_ACTION_MESSAGE, 7, 0, "abc\r\n");
        send(*p, ZIPDLL_ACTION_MESSAGE + 1, 0, 0, "three\n\n\n");
        send(*p, ZIPDLL_ACTION_END_OF_BATCH, 0, 0, "");
        return 0;
    }
    if (script == "until-stopped") {
        // Counts the callbacks answered with "go on".
        int32_t answered = 0;
        while (answered < 100 && send(*p, ZIPDLL_ACTION_NEW_FILE, 0, 1, "f") == 0)
            ++answered;
        return answered;
    }
    if (script == "damaged") {
        // One whole entry, then a header cut short.
        if (FILE* f = std::fopen(p->zipFilename, "wb")) {
            unsigned char header[30] = {'P', 'K', 3, 4, 10};
            header[26] = 1; // name length
            std::fwrite(header, 1, 30, f);
            std::fwrite("a", 1, 1, f);
            std::fwrite(header, 1, 30, f); // its name is missing
            std::fclose(f);
        }
        return 1;
    }
    return 0;
}
#endif

#ifndef PROBE_NO_VERSION
extern "C" __attribute__((visibility("default"))) int32_t GetZipDllVersion(void) {
    return 1;
}
#endif
