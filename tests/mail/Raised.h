#pragma once

#include "mail/WSocket.h"

#include <QString>
#include <functional>

namespace quorvia::test {

// The message of the socket exception `f` raises, or "(nothing raised)".
inline QString raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const mail::ESocketException& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

} // namespace quorvia::test
