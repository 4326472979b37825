// Where the play thread's time comes from: the real millisecond tick, or a
// virtual clock that never waits (for snapshots and tests).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kiv {

class TPlayClock {
public:
    using TDeadline = std::chrono::steady_clock::time_point;
    // Waits for a message until the deadline; true when one is waiting.
    using TWaitMessage = std::function<bool(TDeadline)>;

    virtual ~TPlayClock() = default;
    virtual uint32_t Now() = 0;
    // Waits until tick, the moment the sample of time stamp sampleTime is due, or
    // until a message arrives; true when a message is waiting.
    virtual bool WaitUntil(uint32_t tick, uint32_t sampleTime, const TWaitMessage& wait) = 0;
    // A sample is drawn `lateMs` after it was due (0 when on time); for measurements.
    virtual void Drawn(uint32_t /*sampleTime*/, int32_t /*lateMs*/) {}
    // True when the sample of this time stamp must never be drawn: the clock holds
    // before it until a command arrives.
    virtual bool Holds(uint32_t /*sampleTime*/) { return false; }
    // True when playing stops before the sample of this time stamp, the picture
    // standing still, until told to go on, so that a host can take every picture.
    virtual bool Steps(uint32_t /*sampleTime*/) const { return false; }
};

class TRealClock : public TPlayClock {
public:
    uint32_t Now() override;
    bool WaitUntil(uint32_t tick, uint32_t sampleTime, const TWaitMessage& wait) override;
};

// Jumps to every due time at once. With a limit, it holds before every sample whose
// time stamp passes it; onLimit runs on the play thread the first time it holds
// (tests hold the thread there).
class TVirtualClock : public TPlayClock {
public:
    // stepAfter: with stepping, the clock steps before every sample past it.
    explicit TVirtualClock(int64_t limit = -1, std::function<void()> onLimit = {},
                           bool stepping = false, int64_t stepAfter = -1)
        : FLimit(limit), FOnLimit(std::move(onLimit)), FStepping(stepping), FStepAfter(stepAfter) {}
    uint32_t Now() override;
    bool WaitUntil(uint32_t tick, uint32_t sampleTime, const TWaitMessage& wait) override;
    bool Holds(uint32_t sampleTime) override;
    bool Steps(uint32_t sampleTime) const override {
        return FStepping && int64_t{sampleTime} > FStepAfter;
    }
    void Advance(uint32_t ms);

private:
    std::mutex FLock;
    uint32_t FNow = 1000; // guarded by FLock
    int64_t FLimit;
    std::function<void()> FOnLimit;
    const bool FStepping;
    const int64_t FStepAfter;
    bool FLimitTold = false; // play thread only
};

} // namespace kiv
