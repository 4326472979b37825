// Export: plays a source with a virtual clock through the same play thread and
// back buffer as playing, and hands each changed picture to an FFmpeg encoder.
// Toolkit-free; RunExport may run on any thread (the window runs it on a worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kiv {

enum class TExportCodec { Auto, H264, Vp9, Ffv1, Gif, Png };

// A point in the recording: milliseconds, hh:mm:ss[.mmm], marker:N (from 1) or
// marker:TEXT.
struct TExportTime {
    enum class TKind { None, Ms, MarkerIndex, MarkerText } Kind = TKind::None;
    uint32_t Ms = 0;  // Ms; MarkerIndex: the number
    std::string Text; // MarkerText
};

struct TExportOptions {
    std::string Address;
    // A file; a folder of PNG pictures when it ends in '/', is a folder or the
    // codec is Png.
    std::string Output;
    TExportCodec Codec = TExportCodec::Auto;
    TExportTime From, To;
    double Rate = 1;               // 0.25 to 16
    bool SkipIdle = false;         // idle stretches in 0.5 s, as playing does
    int32_t Width = 0, Height = 0; // 0: from Scale, else the recording's
    double Scale = 0;              // 0: none
    double Fps = 30;               // the cap; samples faster are merged
    bool Cfr = false;              // every 1/Fps a frame
    int Crf = -1;                  // -1: the codec's default
    std::string Preset;            // libx264's; empty: veryfast
    int64_t Bitrate = 0;           // bits a second; 0: by CRF
    bool Pointer = true;
    bool Force = false; // replace an existing output
};

struct TExportProgress {
    uint32_t DoneMs = 0, TotalMs = 0; // recording time from the start of the range
    uint64_t Frames = 0;
    double ElapsedSeconds = 0;
    int Pass = 1, Passes = 1; // GIF plays twice: the palette first
};

// Exit codes beyond the open failures (1 to 9, as `kivtool info`).
constexpr int kExportFailed = 1;    // encoder or file failure
constexpr int kExportUsage = 2;     // bad options, unknown format, output exists
constexpr int kExportNoPicture = 2; // no key frame was composed in the range
constexpr int kExportCancelled = 130;

struct TExportResult {
    int Code = 0;
    std::string Message; // empty on success; the open failure line as `info` prints it
    uint64_t Frames = 0;
    uint32_t Skipped = 0;    // damaged samples passed over
    std::string Output;      // what was written
    bool OpenFailed = false; // Code is the open result; Message the line `info` prints
};

// Cancels an export under way from any thread; the export stops within a frame
// and removes what it wrote.
class TExportCancel {
public:
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }
    // The export's wake-up while it waits (set and cleared by RunExport).
    void SetWaker(std::function<void()> waker);

private:
    std::atomic<bool> FCancelled{false};
    std::mutex FLock;
    std::function<void()> FWaker; // guarded by FLock
};

using TExportProgressFn = std::function<void(const TExportProgress&)>;

// Parses a time or reports false. Markers are looked up once the source is open.
bool ParseExportTime(const std::string& text, TExportTime& out);
// The codec an output's name asks for (Auto when its extension is unknown).
TExportCodec CodecForOutput(const std::string& output);
bool ParseExportCodec(const std::string& name, TExportCodec& out);
const char* ExportCodecName(TExportCodec codec);

// Writes OUTPUT.part (a folder of pictures: OUTPUT.part/) and renames it at the end;
// on failure or cancel nothing is left behind.
TExportResult RunExport(const TExportOptions& options, const TExportProgressFn& progress,
                        TExportCancel& cancel);

} // namespace kiv
