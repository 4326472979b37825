#include "playback/play_clock.h"

#include "platform/tick.h"

namespace kiv {

uint32_t TRealClock::Now() {
    return GetTickMs();
}

bool TRealClock::WaitUntil(uint32_t tick, uint32_t, const TWaitMessage& wait) {
    auto remaining = static_cast<int32_t>(tick - GetTickMs());
    if (remaining <= 0) return false;
    return wait(std::chrono::steady_clock::now() + std::chrono::milliseconds(remaining));
}

uint32_t TVirtualClock::Now() {
    std::lock_guard guard(FLock);
    return FNow;
}

void TVirtualClock::Advance(uint32_t ms) {
    std::lock_guard guard(FLock);
    FNow += ms;
}

bool TVirtualClock::Holds(uint32_t sampleTime) {
    if (FLimit < 0 || sampleTime <= FLimit) return false;
    if (!FLimitTold && FOnLimit) FOnLimit();
    FLimitTold = true;
    return true;
}

bool TVirtualClock::WaitUntil(uint32_t tick, uint32_t, const TWaitMessage&) {
    std::lock_guard guard(FLock);
    if (static_cast<int32_t>(tick - FNow) > 0) FNow = tick;
    return false;
}

} // namespace kiv
