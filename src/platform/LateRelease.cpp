#include "platform/LateRelease.h"

#include <system_error>
#include <unistd.h>

namespace quorvia::platform {

namespace {
// Enough to keep the thread busy; beyond it the caller closes for itself,
// so a run never holds many replaced files' space at once.
constexpr size_t kMostWaiting = 64;
} // namespace

LateRelease::~LateRelease() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void LateRelease::hand(int fd) {
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_waiting.size() < kMostWaiting && started()) {
        m_waiting.push_back(fd);
        guard.unlock();
        m_wake.notify_one();
        return;
    }
    guard.unlock();
    ::close(fd);
}

bool LateRelease::started() {
    if (m_thread.joinable())
        return true;
    try {
        m_thread = std::thread([this] { work(); });
        return true;
    } catch (const std::system_error&) {
        return false; // no thread to be had: the caller closes for itself
    }
}

bool LateRelease::settle() {
    std::unique_lock<std::mutex> guard(m_lock);
    const bool any = m_closing || !m_waiting.empty();
    m_idle.wait(guard, [this] { return !m_closing && m_waiting.empty(); });
    return any;
}

void LateRelease::work() {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stop || !m_waiting.empty(); });
        while (!m_waiting.empty()) {
            const int fd = m_waiting.front();
            m_waiting.pop_front();
            m_closing = true;
            guard.unlock();
            ::close(fd);
            guard.lock();
            m_closing = false;
        }
        m_idle.notify_all();
        if (m_stop)
            return;
    }
}

} // namespace quorvia::platform
