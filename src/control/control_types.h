// What a host sees of the control: play states, display modes, results.
#pragma once

#include <cstdint>
#include <string>

namespace kiv {

enum TStatus : int32_t {
    vpClosed = 0,
    vpOpened = 1,
    vpPlaying = 2,
    vpPaused = 3,
    vpStopped = 4,
    vpScanForward = 5,
    vpScanReverse = 6,
    vpOpening = 7,
};

enum TDisplayMode : int32_t { dmAdaptive = 0, dmFull = 1, dmOriginal = 2 };

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);

// The failure text of the last member that failed on this thread.
void SetErrorInfo(std::string text);
const std::string& GetErrorInfo();

// Events the control fires to its host.
class IKivPlayerEvents {
public:
    virtual ~IKivPlayerEvents() = default;
    virtual void OnPlayStateChanged(TStatus state) = 0;
    virtual void OnPositionChanged(int32_t milliseconds) = 0;
};

// Waits before the next attempt of a failed open; the host calls the core's
// RetryNow when the delay has passed.
class IRetryTimer {
public:
    virtual ~IRetryTimer() = default;
    virtual void Start(uint32_t delayMs) = 0;
    virtual void Cancel() = 0;
};

} // namespace kiv
