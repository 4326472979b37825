// What playback and control tests watch: the window messages the threads post, with a gate
// that can hold the posting thread, and the debugger output.
#pragma once

#include "platform/debug_log.h"
#include "platform/event.h"
#include "platform/kiv_messages.h"
#include "platform/window_target.h"
#include "support/log_capture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::test {

constexpr int64_t kGenerous = 20000; // ms; only a failing test waits this long

// A window whose messages the test reads in order. Armed with a message number, it holds
// the next thread that posts that message until Release is signalled.
class TWindowLog : public TWindowTarget {
public:
    // The notices for hosts (an answered position, the end, a held clock) go to
    // Notices unless KeepNotices: sequences of the threads' own messages stay as they were.
    bool KeepNotices = false;

    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        // The position while playing and markers passed: hosts' notices that no
        // sequence of the threads' own messages expects.
        if (!KeepNotices && (msg == WM_PLAYPOSITION || msg == WM_MARKERPASSED)) return true;
        if (!KeepNotices &&
            (msg == WM_POSITIONANSWERED || msg == WM_PLAYEDTOEND || msg == WM_CLOCKHELD))
            return Notices.Post(msg, wParam, lParam);
        uint32_t armed = msg;
        if (!FOpen && FGate.compare_exchange_strong(armed, 0)) {
            Reached.Signal();
            Release.Wait();
        }
        return Queue.Post(msg, wParam, lParam);
    }

    void Arm(uint32_t msg) { FGate = msg; }
    // Never holds again, and lets a held thread go (for tear-down).
    void OpenGate() {
        FOpen = true;
        Release.Signal();
    }

    // The next message of any kind; false at the time-out.
    bool Take(TMessage& m, int64_t timeoutMs = kGenerous) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!Queue.TryGet(m))
            if (!Queue.WaitUntil(deadline)) return false;
        return true;
    }
    // Skips to the next message numbered msg; the others are counted in Skipped.
    bool TakeNext(uint32_t msg, TMessage& m, int64_t timeoutMs = kGenerous) {
        while (Take(m, timeoutMs)) {
            if (m.Msg == msg) return true;
            Skipped.push_back(m);
        }
        return false;
    }

    TMessageQueue Queue, Notices;
    TEvent Reached, Release;
    std::vector<TMessage> Skipped;

private:
    std::atomic<uint32_t> FGate{0};
    std::atomic<bool> FOpen{false};
};

} // namespace kiv::test
