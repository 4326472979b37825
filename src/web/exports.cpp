// The engine's face to the worker's script: plain C functions on one engine
// (one worker per player).
#include "buffers/activity.h"
#include "codec/kivdecoder.h"
#include "control/caption_table.h"
#include "control/member_steps.h"
#include "control/open_retry.h"
#include "control/source_address.h"
#include "format/recording_reader.h"
#include "net/address.h"
#include "platform/debug_log.h"
#include "web/web_engine.h"
#include "web/web_surface.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using namespace kiv;

namespace {

TWebEngine& Engine() {
    static TWebEngine engine;
    return engine;
}
TWebSurface gSurface;
std::vector<uint32_t> gNotices;
std::string gText;
std::vector<double> gPacked;   // kiv_activity's answer
std::vector<TMarker> gMarkers; // the markers it packed

// A time from the script, held to what a time stamp can be (a cast of a double
// out of range is undefined).
uint32_t Milliseconds(double ms) {
    return static_cast<uint32_t>(std::clamp(ms, 0.0, double{UINT32_MAX}));
}

const TBitmap24* Picture() {
    TSampleDrawer* d = Engine().Drawer();
    return d && d->BackBuffer().Initialized() ? &d->BackBuffer().Picture() : nullptr;
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int kiv_init(int log) {
    if (log)
        SetDebugSink([](std::string_view line) {
            emscripten_log(EM_LOG_CONSOLE, "%.*s", static_cast<int>(line.size()), line.data());
        });
    return InitDecoder() ? 1 : 0;
}

// The address as the control resolves it against its page.
EMSCRIPTEN_KEEPALIVE const char* kiv_resolve(const char* address, const char* page) {
    gText = ResolveSourceAddress(address, page);
    return gText.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* kiv_failure_text(int code, const char* url) {
    gText = SourceFailureMessage(code, url);
    return gText.c_str();
}

// Whether the control tries a failed open again: the wait in ms before the try
// that follows one of previous ms (0 before the first), 0 when it does not retry.
EMSCRIPTEN_KEEPALIVE double kiv_retry_delay(int code, const char* url, double previous) {
    if (!RetriesOpen(code, url)) return 0;
    return NextRetryDelay(static_cast<uint32_t>(previous));
}

// The steps of a member in a state (TTableMember, TStatus), written to out; their count.
EMSCRIPTEN_KEEPALIVE int kiv_member_steps(int member, int status, uint8_t* out) {
    int n = 0;
    for (TStep s : MemberSteps(static_cast<TTableMember>(member), static_cast<TStatus>(status)))
        out[n++] = static_cast<uint8_t>(s);
    return n;
}

// The version the About box shows, the native library's.
EMSCRIPTEN_KEEPALIVE const char* kiv_version() {
    return KIV_FILE_VERSION;
}

// Caption i in Chinese or English; null past the table.
EMSCRIPTEN_KEEPALIVE const char* kiv_caption(int i, int chinese) {
    if (i < 0 || static_cast<size_t>(i) >= std::size(kCaptionTable)) return nullptr;
    return chinese ? kCaptionTable[i].Chinese : kCaptionTable[i].English;
}

EMSCRIPTEN_KEEPALIVE int kiv_open(const char* url) {
    return Engine().Open(url);
}

EMSCRIPTEN_KEEPALIVE void kiv_close() {
    Engine().Close();
}

// Width, height and duration of the recording's header.
EMSCRIPTEN_KEEPALIVE void kiv_header(uint32_t* out) {
    const TKivFileHeader& h = Engine().Header();
    out[0] = h.Width;
    out[1] = h.Height;
    out[2] = h.Duration;
}

EMSCRIPTEN_KEEPALIVE int kiv_set_position(double target) {
    gNotices = Engine().SetPosition(Milliseconds(target));
    return static_cast<int>(gNotices.size());
}

// A seek waiting for bytes fetched ahead: out gets the position it reads from and
// the end of the sample area; 0 when none waits.
EMSCRIPTEN_KEEPALIVE int kiv_seek_pending(double* out) {
    if (!Engine().SeekPending()) return 0;
    out[0] = static_cast<double>(Engine().ReadPosition());
    out[1] = static_cast<double>(SampleAreaEnd(Engine().Header()));
    return 1;
}

EMSCRIPTEN_KEEPALIVE int kiv_continue_seek() {
    gNotices = Engine().ContinueSeek();
    return static_cast<int>(gNotices.size());
}

// The bytes a seek to target is likely to read (out: from, to); 0 when none.
EMSCRIPTEN_KEEPALIVE int kiv_seek_span(double target, double* out) {
    int64_t from = 0, to = 0;
    if (!Engine().SeekSpan(Milliseconds(target), from, to)) return 0;
    out[0] = static_cast<double>(from);
    out[1] = static_cast<double>(to);
    return 1;
}

// The time of the key frame at or before ms: where a preview's picture comes from.
EMSCRIPTEN_KEEPALIVE double kiv_key_time(double ms) {
    return Engine().Context().IndexTable.FloorTime(Milliseconds(ms));
}

EMSCRIPTEN_KEEPALIVE double kiv_notice(int i) {
    return i >= 0 && static_cast<size_t>(i) < gNotices.size() ? gNotices[i] : 0;
}

EMSCRIPTEN_KEEPALIVE double kiv_play_to(double clock, int budget) {
    // Ahead of a shortened idle stretch the clock reads below its start, even below 0.
    return static_cast<double>(Engine().PlayTo(Milliseconds(clock), budget));
}

// The markers the last plays drew: their times go to the notices; their count.
EMSCRIPTEN_KEEPALIVE int kiv_take_passed() {
    gNotices = Engine().TakePassedMarkers();
    return static_cast<int>(gNotices.size());
}

// The marker after the position, or the one before it as PreviousMarker goes; -1
// when there is none.
EMSCRIPTEN_KEEPALIVE double kiv_marker(int forward) {
    const TActivity& a = Engine().Context().Activity;
    const uint32_t at = Engine().CurrentPosition();
    uint32_t marker = 0;
    const bool found = forward ? a.NextMarker(at, marker)
                               : a.PreviousMarker(at, TActivity::kMarkerAgainMs, marker);
    return found ? static_cast<double>(marker) : -1.0;
}

// The idle stretch longer than threshold that holds time: out from, to; 0 when none.
EMSCRIPTEN_KEEPALIVE int kiv_idle_at(double time, double threshold, double* out) {
    TIdleStretch stretch;
    if (!Engine().Context().Activity.IdleStretchAt(Milliseconds(time), Milliseconds(threshold),
                                                   stretch))
        return 0;
    out[0] = stretch.From;
    out[1] = stretch.To;
    return 1;
}

EMSCRIPTEN_KEEPALIVE double kiv_activity_version() {
    return Engine().ActivityVersion();
}

// The activity table as far as it has been read, packed for the strip: the count
// of seconds, then each second's (second, picture bytes, pointer samples); the count
// of idle stretches longer than threshold, then each (from, to); the count of
// markers, then their times (their texts from kiv_marker_text). out: the doubles.
EMSCRIPTEN_KEEPALIVE const double* kiv_activity(double threshold, int32_t* out) {
    const TActivity& a = Engine().Context().Activity;
    const std::vector<TActivitySecond> seconds = a.Seconds();
    const std::vector<TIdleStretch> idle = a.IdleStretches(Milliseconds(threshold));
    gMarkers = a.Markers();
    const auto d = [](auto v) { return static_cast<double>(v); };
    gPacked.clear();
    gPacked.reserve(3 + seconds.size() * 3 + idle.size() * 2 + gMarkers.size());
    gPacked.push_back(d(seconds.size()));
    for (const TActivitySecond& s : seconds)
        gPacked.insert(gPacked.end(), {d(s.Second), d(s.PictureBytes), d(s.PointerSamples)});
    gPacked.push_back(d(idle.size()));
    for (const TIdleStretch& i : idle)
        gPacked.insert(gPacked.end(), {d(i.From), d(i.To)});
    gPacked.push_back(d(gMarkers.size()));
    for (const TMarker& m : gMarkers)
        gPacked.push_back(m.Time);
    out[0] = static_cast<int32_t>(gPacked.size());
    return gPacked.data();
}

EMSCRIPTEN_KEEPALIVE const char* kiv_marker_text(int i) {
    return i >= 0 && static_cast<size_t>(i) < gMarkers.size() ? gMarkers[i].Text.c_str() : "";
}

EMSCRIPTEN_KEEPALIVE double kiv_next_time(int budget) {
    return static_cast<double>(Engine().NextTime(budget));
}

EMSCRIPTEN_KEEPALIVE void kiv_stop() {
    Engine().Stop();
}

EMSCRIPTEN_KEEPALIVE int kiv_read_ahead() {
    return Engine().ReadAhead() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE double kiv_position() {
    return Engine().CurrentPosition();
}

// The statistics dialog's figures: first and last buffered time stamps, samples,
// bytes buffered, kbit/s of the current pass, duration; 0 without a recording.
EMSCRIPTEN_KEEPALIVE int kiv_statistics(double* out) {
    const TStatistics s = Engine().Statistics();
    const auto d = [](auto v) { return static_cast<double>(v); };
    const double figures[] = {d(s.FirstTimeStamp), d(s.LastTimeStamp), d(s.Samples),
                              d(s.Bytes),          d(s.BitRate),       d(s.Duration)};
    std::copy(std::begin(figures), std::end(figures), out);
    return s.Reading ? 1 : 0;
}

// First and last buffered time stamps (Min, Max), bytes read so far.
EMSCRIPTEN_KEEPALIVE void kiv_buffer(double* out) {
    out[0] = Engine().Context().Frames.FirstTimeStamp();
    out[1] = Engine().Context().Frames.LastTimeStamp();
    out[2] = static_cast<double>(Engine().BytesRead());
}

// Lays the surface out; out gets its width and height; the zoom.
EMSCRIPTEN_KEEPALIVE int kiv_layout(int mode, int frameWidth, int frameHeight, int32_t* out) {
    const TKivFileHeader& h = Engine().Header();
    const TBitmap24* p = Picture();
    const int32_t w = p ? p->Width() : h.Width, hh = p ? p->Height() : h.Height;
    const int32_t zoom =
        gSurface.Layout(static_cast<TDisplayMode>(mode), frameWidth, frameHeight, w, hh);
    out[0] = zoom == 100 ? w : w * zoom / 100;
    out[1] = zoom == 100 ? hh : hh * zoom / 100;
    return zoom;
}

// Takes the changed rectangle, brings it to the surface and leaves its RGBA in
// the scratch block; out: left, top, right, bottom on the surface, then the
// block's address and size. 0 when nothing changed.
EMSCRIPTEN_KEEPALIVE int kiv_take_changes(int full, int32_t* out) {
    TSampleDrawer* d = Engine().Drawer();
    const TBitmap24* p = Picture();
    if (!d || !p) return 0;
    TRect changed = d->TakeChangedRect();
    if (full) changed = p->Bounds();
    if (changed.IsEmpty()) return 0;
    const TRect r = gSurface.Copy(*p, changed);
    const auto& rgba = gSurface.Rgba(*p, r, false);
    out[0] = std::max(r.Left, 0);
    out[1] = std::max(r.Top, 0);
    out[2] = std::min(r.Right, gSurface.Width(*p));
    out[3] = std::min(r.Bottom, gSurface.Height(*p));
    out[4] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(rgba.data()));
    out[5] = static_cast<int32_t>(rgba.size());
    return out[2] > out[0] && out[3] > out[1] ? 1 : 0;
}

// The whole composed picture as RGBA: out width, height, address, size.
EMSCRIPTEN_KEEPALIVE int kiv_picture(int32_t* out) {
    const TBitmap24* p = Picture();
    if (!p) return 0;
    const auto& rgba = gSurface.Rgba(*p, p->Bounds(), true);
    out[0] = p->Width();
    out[1] = p->Height();
    out[2] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(rgba.data()));
    out[3] = static_cast<int32_t>(rgba.size());
    return 1;
}

// Decodes every payload of a recording held in memory (the benchmark's pass, as
// kivtool verify decodes them); out: payloads decoded, payload bytes. The
// milliseconds taken, -1 when the recording does not open.
EMSCRIPTEN_KEEPALIVE double kiv_decode_recording(const uint8_t* bytes, uint32_t length,
                                                 double* out) {
    TMemoryStream stream(std::vector<uint8_t>(bytes, bytes + length));
    const TOpenedRecording opened = OpenRecording(stream);
    if (opened.Code != srOk) return -1;
    static std::vector<uint8_t> image(kDecodeBufferSize);
    double count = 0, payload = 0;
    const auto start = std::chrono::steady_clock::now();
    TRecordingWalker(stream, opened.Header).Run([&](TSampleBlock record) {
        const TSampleHeader h = ParseSampleHeader(record.get());
        if (h.Length == 0) return;
        try {
            UnZipBuffer(record.get() + kSampleHeaderSize, h.Length,
                        static_cast<int16_t>(h.Compression), image.data(), kDecodeBufferSize);
        } catch (const std::exception&) {
            return; // a damaged payload costs what it cost
        }
        ++count;
        payload += h.Length;
    });
    out[0] = count;
    out[1] = payload;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // extern "C"
