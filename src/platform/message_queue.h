// A thread's message queue: post from anywhere, take or peek on the owning thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace kiv {

constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_USER = 0x0400;

struct TMessage {
    uint32_t Msg = 0;
    intptr_t WParam = 0;
    intptr_t LParam = 0;
};

class TMessageQueue {
public:
    using TClock = std::chrono::steady_clock;

    // False once the queue is closed.
    bool Post(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0);
    // Copies the front message without removing it.
    bool Peek(TMessage& msg);
    // True when any waiting message satisfies the test.
    template <class TTest> bool Any(TTest test) {
        std::lock_guard guard(FLock);
        for (const auto& m : FMessages)
            if (test(m)) return true;
        return false;
    }
    // Removes the front message if there is one.
    bool TryGet(TMessage& msg);
    // Ends a WaitUntil under way (or the next one) without a message.
    void Wake();
    // Removes every waiting message numbered msg; last gets the last one removed.
    // Returns how many were removed.
    size_t RemoveAll(uint32_t msg, TMessage& last);
    // Blocks until a message arrives.
    void Get(TMessage& msg);
    // True when a message is waiting before the deadline passes.
    bool WaitUntil(TClock::time_point deadline);
    bool WaitFor(int64_t ms) { return WaitUntil(TClock::now() + std::chrono::milliseconds(ms)); }
    // Refuses further posts and drops what is waiting.
    void Close();
    bool Closed();
    size_t Size();
    // True while the owner blocks in Get with nothing waiting; with Taken, lets a
    // host see that a set of threads has gone quiet.
    bool Idle();
    uint64_t Taken();

private:
    std::mutex FLock;
    std::condition_variable FCond;
    std::deque<TMessage> FMessages; // guarded by FLock
    bool FClosed = false;           // guarded by FLock
    int FWaiters = 0;               // guarded by FLock
    bool FWoken = false;            // guarded by FLock
    uint64_t FTaken = 0;            // guarded by FLock
};

} // namespace kiv
