#include "zipdll/Reporter.h"

#include <algorithm>
#include <cstring>

namespace zipdll {

Reporter::Reporter(const ZipParams& params)
    : m_callback(params.callback), m_caller(params.caller), m_verbose(params.verbose != 0),
      m_trace(params.trace != 0), m_record(std::make_unique<ZipCallbackRecord>()) {}

void Reporter::send(int32_t action, int32_t code, int64_t size, const std::string& text) {
    if (!m_callback)
        return;
    ZipCallbackRecord& r = *m_record;
    std::memset(&r, 0, sizeof(r));
    r.caller = m_caller;
    r.actionCode = action;
    r.errorCode = code;
    r.fileSize = size;
    const size_t n = std::min(text.size(), sizeof(r.text) - 1);
    std::memcpy(r.text, text.data(), n);
    if (m_callback(&r) != 0)
        m_stopped = true;
}

bool Reporter::newFile(const std::string& name, int64_t size) {
    if (!m_stopped)
        send(ZIPDLL_ACTION_NEW_FILE, 0, size, name);
    return !m_stopped;
}

bool Reporter::progress() {
    if (!m_stopped)
        send(ZIPDLL_ACTION_PROGRESS, 0, 0, std::string());
    return !m_stopped;
}

void Reporter::endOfBatch() {
    send(ZIPDLL_ACTION_END_OF_BATCH, 0, 0, std::string());
}

void Reporter::message(int32_t code, const std::string& text) {
    send(ZIPDLL_ACTION_MESSAGE, code, 0, text);
}

void Reporter::info(const std::string& text) {
    if (m_verbose || m_trace)
        message(0, text);
}

void Reporter::trace(const std::string& text) {
    if (m_trace)
        message(0, text);
}

std::string systemError(int error) {
    return std::strerror(error);
}

} // namespace zipdll
