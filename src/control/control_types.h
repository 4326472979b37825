// What a host sees of the control: play states, display modes, results.
#pragma once

#include "control/kiv_player_members.h"

#include <cstdint>
#include <functional>
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

// clang-format off
#define KIV_EVENT(Name, Id) virtual void Name() {}
#define KIV_EVENT1(Name, Id, Type, Listed, Result) virtual void Name(Type) {}
// clang-format on

// Events the control fires to its host, from the list; each does nothing
// unless the host overrides it.
class IKivPlayerEvents {
public:
    virtual ~IKivPlayerEvents() = default;

    KIV_PLAYER_EVENTS(KIV_EVENT, KIV_EVENT1)
};
#undef KIV_EVENT
#undef KIV_EVENT1

// Buffering figures, read by one call at any moment.
struct TStatistics {
    bool Reading = false;        // a reading thread exists; the figures below it are its own
    uint32_t FirstTimeStamp = 0; // of the frames buffer, 0 when empty
    uint32_t LastTimeStamp = 0;
    int32_t Samples = 0;
    uint64_t Bytes = 0;    // buffered records plus the reading thread's work buffer
    int32_t BitRate = 0;   // kbit/s
    uint32_t Duration = 0; // of the recording header, ms
    uint32_t HeaderPosition = 0;
    int32_t IndexEntries = 0;
    bool Live = false;    // a live or multicast source
    uint32_t Skipped = 0; // damaged samples the play thread passed over
    uint32_t Lag = 0;     // how far the last sample drawn was behind the clock, ms
    double Rate = 1;      // the rate of playing
    // Since the reading thread last received a byte (a read under way counts).
    uint32_t QuietMs = 0;
};

// Waits before the next attempt of a failed open, then runs elapsed on the
// core's thread; the core owns what happens then.
class IRetryTimer {
public:
    virtual ~IRetryTimer() = default;
    virtual void Start(uint32_t delayMs, std::function<void()> elapsed) = 0;
    virtual void Cancel() = 0;
};

// What a failure shown to the user is about, which names its message box.
enum class TFailureKind { Player, CacheFolder };
// The caption of the message box for a failure of this kind.
const char* FailureCaption(TFailureKind kind);

} // namespace kiv
