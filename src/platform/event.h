// Auto-reset event: one Wait consumes one Signal.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kiv {

class TEvent {
public:
    void Signal();
    // Waits until signalled; false when the time-out (ms) passed first. Negative waits forever.
    bool Wait(int64_t timeoutMs = -1);

private:
    std::mutex FLock;
    std::condition_variable FCond;
    bool FSignalled = false; // guarded by FLock
};

} // namespace kiv
