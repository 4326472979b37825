// A worker thread whose Execute runs a message loop over its own queue.
#pragma once

#include "platform/message_queue.h"

#include <atomic>
#include <thread>

namespace kiv {

class TThread {
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // The owner must have ended and joined the thread (Quit, WaitFor) before destroying it.
    virtual ~TThread();

    void Start();
    // False once the thread has ended: the message is lost.
    bool Post(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0) {
        return FQueue.Post(msg, wParam, lParam);
    }
    bool Quit() { return Post(WM_QUIT); }
    // Ends a wait for a message or a deadline early, as if the deadline had come.
    void Wake() { FQueue.Wake(); }
    // Joins the thread; safe to call more than once.
    void WaitFor();
    bool Finished() const { return FFinished.load(); }
    // The kernel's id of the running thread (0 before it starts), for log lines.
    int ThreadId() const { return FThreadId.load(); }
    // Blocked waiting for a message with none queued.
    bool Idle() { return FQueue.Idle(); }
    // Messages taken so far.
    uint64_t MessagesTaken() { return FQueue.Taken(); }

protected:
    virtual void Execute() = 0;

    // Blocks for the next message; false when it is WM_QUIT.
    bool GetMessage(TMessage& msg);
    bool PeekMessage(TMessage& msg) { return FQueue.Peek(msg); }
    template <class TTest> bool AnyMessage(TTest test) { return FQueue.Any(test); }
    bool TryGetMessage(TMessage& msg) { return FQueue.TryGet(msg); }
    size_t RemoveMessages(uint32_t msg, TMessage& last) { return FQueue.RemoveAll(msg, last); }
    // True when a message is waiting before the deadline.
    bool WaitMessageUntil(TMessageQueue::TClock::time_point deadline) {
        return FQueue.WaitUntil(deadline);
    }
    bool WaitMessageFor(int64_t ms) { return FQueue.WaitFor(ms); }

private:
    void Run();

    TMessageQueue FQueue;
    std::thread FThread; // owned by the creating thread
    std::atomic<bool> FFinished{false};
    std::atomic<int> FThreadId{0};
};

} // namespace kiv
