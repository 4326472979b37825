// The engine of the page's player, run single-threaded in a Web Worker: it does
// what the reading thread and the play thread do, one call at a time, with the
// same buffers, index table and drawing step.
#pragma once

#include "buffers/play_context.h"
#include "control/control_types.h"
#include "format/record_cutter.h"
#include "playback/sample_drawer.h"
#include "web/range_stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kiv {

class TWebEngine {
public:
    // The open result code (0 opened, 1..9 as a reading thread reports them).
    int Open(const std::string& url);
    void Close();
    bool Opened() const { return FDrawer != nullptr; }
    const TKivFileHeader& Header() const { return FContext.Header; }

    // The picture at target; returns the positions to announce, in order (none
    // when the target falls on the sample shown), as the play thread posts them.
    std::vector<uint32_t> SetPosition(uint32_t target);
    // A seek whose reads went past the bytes the worker fetched ahead (windowed
    // reading) waits for more: ContinueSeek after the worker has fetched from
    // ReadPosition on; it returns the positions to announce from there.
    bool SeekPending() const { return FSeekPending; }
    std::vector<uint32_t> ContinueSeek();
    int64_t ReadPosition() const { return FStream ? FStream->Seek(0, soCurrent) : 0; }
    // The bytes [from, to) a seek to target will most likely read, so that the
    // worker can fetch them ahead in parallel; false when it reads nothing.
    bool SeekSpan(uint32_t target, int64_t& from, int64_t& to);
    // Draws every sample due at clock (recording ms), reading on as needed (at most
    // budget blocks). The time stamp of the next sample; kEnd when the recording
    // is played through; kMore when more must be read first; kStalled when a read
    // brought nothing (ask again a little later, as the play thread does).
    static constexpr int64_t kEnd = -1, kMore = -2, kStalled = -3;
    int64_t PlayTo(uint32_t clock, int budget);
    // The time stamp of the sample that would be drawn next, or kEnd, kMore, kStalled.
    int64_t NextTime(int budget);
    // Back to the start, nothing shown: the play thread's stop.
    void Stop();
    // Reads ahead one block while the frames buffer is not full; whether it read.
    bool ReadAhead();

    // The times of the markers PlayTo drew since the last call, in order.
    std::vector<uint32_t> TakePassedMarkers() { return std::exchange(FPassedMarkers, {}); }
    // Changes whenever records are noted in the activity table.
    uint32_t ActivityVersion() const { return FActivityVersion; }

    // The statistics dialog's figures, as the native core gives them.
    TStatistics Statistics() const;

    uint32_t CurrentPosition() const { return FCurrentPosition; }
    TSampleDrawer* Drawer() { return FDrawer.get(); }
    TPlayContext& Context() { return FContext; }
    uint64_t BytesRead() const { return FStream ? FStream->BytesRead() : 0; }
    bool Exhausted() const { return FExhausted; }

private:
    struct TSeekPlan {
        bool Shown = false;    // the target is the sample shown: nothing to do
        bool Buffered = false; // drawn from the buffer: First..Last
        int32_t First = -1, Last = -1;
        uint32_t DestKey = 0; // else read from this key frame on
    };
    TSeekPlan PlanSeek(uint32_t target);
    // One block of the sample area into the frames buffer. With a target, the
    // index of the sample that shows it once known (found). False when nothing came.
    bool ReadBlock(int64_t target, int32_t& found);
    void Rewind(int64_t position);
    void DrawSamples(int32_t first, int32_t last);
    void DrawOne(const uint8_t* sample, const char* where);
    // The seek's reading pass up to its target; leaves it pending on a window miss.
    std::vector<uint32_t> RunSeek();

    TPlayContext FContext;
    std::unique_ptr<TWebRangeStream> FStream;
    std::unique_ptr<TSampleDrawer> FDrawer;
    TRecordCutter FCutter;
    std::vector<TIndexEntry> FEntries; // the index as opened, for the segments' ends
    int64_t FDataStart = 0;
    bool FExhausted = false;       // the sample area has been read through
    uint32_t FCurrentPosition = 0; // time stamp of the last sample drawn
    int32_t FCurrentIndex = -1;    // its index in the frames buffer
    bool FSeekPending = false;     // a seek waits for bytes fetched ahead
    uint32_t FSeekTarget = 0;
    int32_t FSeekFound = -1, FSeekDrawn = -1; // the pending seek's target index, last drawn
    std::vector<uint32_t> FPassedMarkers;
    uint64_t FPassBytes = 0;                  // read since the last rewind, for the bit rate
    double FPassStart = 0, FLastReadTick = 0; // ms
    uint32_t FActivityVersion = 0;
};

} // namespace kiv
