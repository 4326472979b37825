// What the two live sources (a recording server, a multicast cast) do alike:
// the source opens with its first key frame, there are no positions to seek to,
// and a reset keeps only the newest segment.
#pragma once

#include "sources/fill_thread.h"

#include <atomic>

namespace kiv {

class TLiveSource : public TFillThread {
public:
    enum TState : uint8_t {
        lsNotOpened = 0,
        lsWaitingKeyFrame = 1,
        lsStreaming = 2,
        lsStopped = 3, // asked to hold; reading again resumes
    };

    uint8_t State() const { return FState.load(); }

protected:
    // The first key frame is decoded to learn the picture's size.
    explicit TLiveSource(TPlayContext* context);
    ~TLiveSource() override;

    // Reads towards the target.
    void HandleSeek(int32_t target) override { Fill(target); }
    void HandleReset() override;
    // Takes one complete record: dropped before the first key frame, which opens the
    // source; afterwards buffered, indexed, and a target it reaches is answered.
    void TakeRecord(TSampleBlock record, int32_t target, bool& found);
    // Takes the complete records the work buffer holds while the frames buffer has
    // room; false when it has none and records may still be held. Raises on a
    // record too large to be real.
    bool CutRecords(int32_t target, bool& found);
    // Waits until the frames buffer has room (the play thread trims it) or any
    // message waits; true for room. Else the pass ends and the thread's loop takes
    // the message (a plain request for more data starts the next pass).
    bool WaitForRoom();

    std::atomic<uint8_t> FState{lsNotOpened};

private:
    void LearnPictureSize(const uint8_t* keyFrame);
};

} // namespace kiv
