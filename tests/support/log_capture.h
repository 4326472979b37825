// Collects the debug log while it exists.
#pragma once

#include "platform/debug_log.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::test {

class TLogCapture {
public:
    TLogCapture() {
        FPrevious = SetDebugSink([this](std::string_view line) {
            std::lock_guard guard(FLock);
            FLines.emplace_back(line);
            FChanged.notify_all();
        });
    }
    ~TLogCapture() { SetDebugSink(std::move(FPrevious)); }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    // Waits until `count` lines contain text.
    bool WaitFor(const std::string& text, int count = 1, int64_t timeoutMs = 10000) {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [&] { return CountLocked(text) >= count; });
    }
    // Lines containing text.
    int Count(const std::string& text) {
        std::lock_guard guard(FLock);
        return CountLocked(text);
    }
    // A line starts with prefix.
    bool Has(const std::string& prefix) {
        std::lock_guard guard(FLock);
        return std::any_of(FLines.begin(), FLines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> Lines() {
        std::lock_guard guard(FLock);
        return FLines;
    }

private:
    int CountLocked(const std::string& text) const {
        int n = 0;
        for (const auto& l : FLines)
            n += l.find(text) != std::string::npos;
        return n;
    }

    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::string> FLines; // guarded by FLock
    TDebugSink FPrevious;
};

} // namespace kiv::test
