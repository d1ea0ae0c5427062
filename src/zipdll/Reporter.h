#pragma once

#include "zip/ZipDllInterface.h"

#include <memory>
#include <string>

namespace zipdll {

// Talks to the caller through the block's callback. Once the caller has asked
// to stop, no more new-file or progress calls are made; messages and the end
// of the batch still go through.
class Reporter {
public:
    explicit Reporter(const ZipParams& params);

    bool stopped() const { return m_stopped; }
    // Both return false when the caller asks to stop.
    bool newFile(const std::string& name, int64_t size);
    bool progress();
    void endOfBatch();
    // A failure (code != 0) or information (code 0).
    void message(int32_t code, const std::string& text);
    void info(const std::string& text);  // only with the verbose flag
    void trace(const std::string& text); // only with the trace flag
    bool verbose() const { return m_verbose; }
    bool tracing() const { return m_trace; }

private:
    void send(int32_t action, int32_t code, int64_t size, const std::string& text);

    ZipDllCallback m_callback;
    void* m_caller;
    bool m_verbose;
    bool m_trace;
    bool m_stopped = false;
    std::unique_ptr<ZipCallbackRecord> m_record;
};

// errno as text.
std::string systemError(int error);

} // namespace zipdll
