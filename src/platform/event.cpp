#include "platform/event.h"

#include <chrono>

namespace kiv {

void TEvent::Signal() {
    {
        std::lock_guard guard(FLock);
        FSignalled = true;
    }
    FCond.notify_one();
}

bool TEvent::Wait(int64_t timeoutMs) {
    std::unique_lock guard(FLock);
    if (timeoutMs < 0) {
        FCond.wait(guard, [this] { return FSignalled; });
    } else if (!FCond.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                               [this] { return FSignalled; })) {
        return false;
    }
    FSignalled = false;
    return true;
}

} // namespace kiv
