#include "web/web_engine.h"

#include "format/recording_reader.h"
#include "net/address.h"
#include "platform/debug_log.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace kiv {

int TWebEngine::Open(const std::string& url) {
    Close();
    // A page reaches no live server and no multicast group.
    if (strncasecmp(url.c_str(), "KIVS", 4) == 0 ||
        (url.size() >= 4 && strcasecmp(url.c_str() + url.size() - 4, ".sms") == 0))
        return srCannotOpen;
    auto stream = std::make_unique<TWebRangeStream>(url);
    // The first read tells whether the server answers at all.
    TOpenedRecording opened = OpenRecording(*stream);
    FContext.Header = opened.Header;
    if (opened.Code != srOk) {
        if (stream->BytesRead() == 0 && opened.Code == srDamaged) opened.Code = srCannotOpen;
        DebugLog("TFillThread.HandleOpen: " + opened.Text);
        return opened.Code;
    }
    for (const TIndexEntry& e : opened.Entries)
        FContext.IndexTable.AddEntry(e);
    FEntries = std::move(opened.Entries);
    FDataStart = opened.DataStart;
    FStream = std::move(stream);
    FDrawer = std::make_unique<TSampleDrawer>(FContext.Header, FContext.KeyFrames);
    Rewind(FDataStart);
    return srOk;
}

void TWebEngine::Close() {
    FDrawer.reset();
    FStream.reset();
    FContext.Frames.Clear();
    FContext.KeyFrames.Clear();
    FContext.IndexTable.Clear();
    FContext.Activity.Clear();
    ++FActivityVersion;
    FPassedMarkers.clear();
    FEntries.clear();
    FCutter.Clear();
    FCurrentIndex = -1;
    FCurrentPosition = 0;
    FExhausted = false;
}

void TWebEngine::Rewind(int64_t position) {
    FSeekPending = false;
    FPassBytes = 0;
    FPassStart = FLastReadTick = emscripten_get_now();
    FContext.Frames.Clear();
    FCutter.Clear();
    FCurrentIndex = -1;
    FExhausted = false;
    if (FStream) FStream->Seek(position, soBeginning);
}

bool TWebEngine::ReadBlock(int64_t target, int32_t& found) {
    const TKivFileHeader& h = FContext.Header;
    const int64_t end = SampleAreaEnd(h);
    const int64_t at = FStream->Seek(0, soCurrent);
    auto lastSample = [&] {
        if (target > 0 && found < 0) found = FContext.Frames.Count() - 1;
    };
    if (at >= end) {
        FExhausted = true;
        lastSample();
        return false;
    }
    const auto want = static_cast<int32_t>(
        std::min<int64_t>({TWebRangeStream::kBlockSize, FCutter.Room(), end - at}));
    const int32_t got = want > 0 ? FStream->Read(FCutter.Tail(), want) : 0;
    if (got <= 0) return false;
    FPassBytes += static_cast<uint64_t>(got);
    FLastReadTick = emscripten_get_now();
    FCutter.Commit(static_cast<uint32_t>(got));
    for (;;) {
        TSampleBlock record;
        const TRecordCutter::TCut cut = FCutter.Next(record);
        if (cut == TRecordCutter::TCut::NeedMore) break;
        if (cut == TRecordCutter::TCut::Damaged) {
            FExhausted = true;
            lastSample();
            return true;
        }
        const uint32_t time = SampleTimeStamp(record.get());
        // Only what has been read is known: a page does not read a recording through.
        FContext.Activity.Note(record.get());
        ++FActivityVersion;
        const int32_t index = FContext.Frames.AddSample(std::move(record));
        if (target >= 0 && found < 0) {
            if (time > target)
                found = index - 1;
            else if (time == target)
                found = index;
        }
        if (time == h.Duration) { // the recording is complete
            FExhausted = true;
            lastSample();
            return true;
        }
    }
    if (FStream->Seek(0, soCurrent) >= end) {
        FExhausted = true;
        lastSample();
    }
    return true;
}

void TWebEngine::DrawOne(const uint8_t* sample, const char* where) {
    try {
        FDrawer->Draw(sample, false);
    } catch (const std::exception& e) {
        FDrawer->Skip(sample, where, e);
    }
}

void TWebEngine::DrawSamples(int32_t first, int32_t last) {
    auto& frames = FContext.Frames;
    const int32_t count = frames.Count();
    if (last == -1) last = count - 1;
    if (last >= count || first < 0) return;
    for (int32_t i = first; i <= last; ++i) {
        const uint8_t* sample = frames.Sample(i);
        if (!sample) break;
        FCurrentIndex = i;
        FCurrentPosition = SampleTimeStamp(sample);
        // A range draw passes over pointer moves that carry no shape.
        if (!(SampleKind(sample) == skPointer && SampleLength(sample) == 0))
            DrawOne(sample, "DrawSamples");
    }
}

TWebEngine::TSeekPlan TWebEngine::PlanSeek(uint32_t target) {
    auto& frames = FContext.Frames;
    auto& index = FContext.IndexTable;
    const uint32_t duration = FContext.Header.Duration;
    uint32_t t = duration ? std::min(target, duration) : target;
    TSeekPlan plan;
    const int32_t b = frames.FindSample(t, false);
    plan.Shown = b >= 0 && b == FCurrentIndex;
    const uint32_t currentKey = index.FloorTime(FCurrentPosition);
    plan.DestKey = index.FloorTime(t);
    uint32_t keyTime = plan.DestKey;
    const int32_t c = frames.FindSample(keyTime, true);
    if (b != -1 && (currentKey == plan.DestKey || c != -1)) {
        plan.Buffered = true;
        plan.Last = b;
        plan.First = currentKey == plan.DestKey && b > FCurrentIndex ? FCurrentIndex + 1 : c;
    }
    return plan;
}

std::vector<uint32_t> TWebEngine::SetPosition(uint32_t target) {
    if (!FDrawer) return {};
    target = std::min<uint32_t>(target, INT32_MAX);
    const TSeekPlan plan = PlanSeek(target);
    if (plan.Shown) return {};
    if (plan.Buffered) {
        DrawSamples(plan.First, plan.Last);
        return {target};
    }
    // Not buffered: read from the key frame on, as the reading thread's seek does.
    std::vector<uint32_t> told{FCurrentPosition};
    Rewind(FDataStart + FContext.IndexTable.PositionOf(plan.DestKey));
    FSeekTarget = target;
    FSeekFound = FSeekDrawn = -1;
    for (uint32_t t : RunSeek())
        told.push_back(t);
    return told;
}

std::vector<uint32_t> TWebEngine::ContinueSeek() {
    if (!FSeekPending || !FDrawer) return {};
    return RunSeek();
}

std::vector<uint32_t> TWebEngine::RunSeek() {
    FSeekPending = false;
    while (FSeekFound < 0) {
        if (!ReadBlock(FSeekTarget, FSeekFound)) {
            if (FStream->WindowMissed()) {
                FSeekPending = true;
                return {};
            }
            break;
        }
        // A segment longer than the frames buffer may hold is drawn as it comes
        // (the same range draw, in pieces) and let go, so memory stays bounded.
        if (FSeekFound < 0 && !FContext.Frames.HasRoom()) {
            DrawSamples(FSeekDrawn + 1, -1);
            int32_t index = FCurrentIndex;
            FContext.Frames.Trim(index);
            FCurrentIndex = FSeekDrawn = index;
        }
    }
    if (FSeekFound >= 0) DrawSamples(FSeekDrawn + 1, FSeekFound);
    return {FCurrentPosition};
}

bool TWebEngine::SeekSpan(uint32_t target, int64_t& from, int64_t& to) {
    if (!FDrawer) return false;
    target = std::min<uint32_t>(target, INT32_MAX);
    const TSeekPlan plan = PlanSeek(target);
    if (plan.Shown || plan.Buffered) return false;
    const int64_t end = SampleAreaEnd(FContext.Header);
    from = FDataStart + FContext.IndexTable.PositionOf(plan.DestKey);
    // The target lies before the next key frame: read about as far into the
    // segment as the target lies in its time, and a little more.
    auto next = std::upper_bound(FEntries.begin(), FEntries.end(), plan.DestKey,
                                 [](uint32_t t, const TIndexEntry& e) { return t < e.TimeStamp; });
    double share = 1;
    int64_t segmentEnd = end;
    if (next != FEntries.end()) {
        segmentEnd = std::min<int64_t>(end, FDataStart + next->Offset);
        share = std::clamp((static_cast<double>(target) - plan.DestKey) /
                               std::max<double>(1, next->TimeStamp - plan.DestKey),
                           0.0, 1.0);
    }
    constexpr int64_t kMargin = 512 * 1024, kMost = 64 << 20;
    const auto span =
        static_cast<int64_t>(static_cast<double>(std::max<int64_t>(segmentEnd - from, 0)) * share *
                             1.1) +
        kMargin;
    to = std::min({end, from + span, from + kMost});
    return to > from;
}

int64_t TWebEngine::NextTime(int budget) {
    if (!FDrawer) return kEnd;
    for (;;) {
        if (const uint8_t* next = FContext.Frames.Sample(FCurrentIndex + 1))
            return SampleTimeStamp(next);
        if (FExhausted) return kEnd;
        if (budget-- <= 0) return kMore;
        int32_t unused = -1;
        if (!ReadBlock(-1, unused) && !FExhausted) return kStalled;
    }
}

int64_t TWebEngine::PlayTo(uint32_t clock, int budget) {
    for (;;) {
        const int64_t next = NextTime(budget);
        if (next < 0 || next > clock) return next;
        FCurrentIndex = FCurrentIndex + 1;
        const uint8_t* sample = FContext.Frames.Sample(FCurrentIndex);
        FCurrentPosition = SampleTimeStamp(sample);
        DrawOne(sample, "DrawSampleOneByOne");
        if (SampleKind(sample) == skMarker) FPassedMarkers.push_back(FCurrentPosition);
        int32_t current = FCurrentIndex;
        if (FContext.Frames.Trim(current)) FCurrentIndex = current;
    }
}

TStatistics TWebEngine::Statistics() const {
    TStatistics s;
    const TFramesBuffer& frames = FContext.Frames;
    s.Reading = FDrawer != nullptr;
    s.FirstTimeStamp = frames.FirstTimeStamp();
    s.LastTimeStamp = frames.LastTimeStamp();
    s.Samples = frames.Count();
    s.Bytes = static_cast<uint64_t>(frames.ByteCount()) + FCutter.Used();
    s.Duration = FContext.Header.Duration;
    // kbit/s: bits per millisecond of the pass so far.
    if (FLastReadTick > FPassStart)
        s.BitRate = static_cast<int32_t>(static_cast<double>(FPassBytes) * 8 /
                                         (FLastReadTick - FPassStart));
    return s;
}

bool TWebEngine::ReadAhead() {
    if (!FDrawer || FExhausted || FContext.Frames.IsFull() || !FContext.Frames.HasRoom())
        return false;
    int32_t unused = -1;
    return ReadBlock(-1, unused);
}

void TWebEngine::Stop() {
    Rewind(FDataStart);
    FCurrentPosition = 0;
}

} // namespace kiv
