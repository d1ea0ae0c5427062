#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quorvia::platform {

// Descriptors of files a copy has just replaced, closed on a thread of their
// own. Closing the last one frees the old file's blocks, and where the file
// system discards freed blocks the kernel waits for the disk then: the walk
// goes on meanwhile.
class LateRelease {
public:
    LateRelease() = default;
    ~LateRelease();
    LateRelease(const LateRelease&) = delete;
    LateRelease& operator=(const LateRelease&) = delete;

    // Takes `fd` over; it is closed soon.
    void hand(int fd);
    // Returns once every descriptor handed over is closed; true if any was
    // still open (its file's space may have come back since).
    bool settle();

private:
    bool started(); // under m_lock
    void work();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<int> m_waiting;
    bool m_closing = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace quorvia::platform
