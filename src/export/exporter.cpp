#include "export/exporter.h"

#include "export/export_formats.h"
#include "export/export_host.h"
#include "export/frame_sink.h"
#include "export/gif_palette.h"
#include "net/address.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace kiv {

void TExportCancel::Cancel() {
    FCancelled = true;
    std::lock_guard guard(FLock);
    if (FWaker) FWaker();
}

void TExportCancel::SetWaker(std::function<void()> waker) {
    std::lock_guard guard(FLock);
    FWaker = std::move(waker);
}

namespace {

namespace fs = std::filesystem;
using namespace exporting;

TExportResult Failure(int code, std::string message) {
    TExportResult r;
    r.Code = code;
    r.Message = std::move(message);
    return r;
}

std::string Validate(const TExportOptions& o) {
    if (!(o.Rate >= 0.25 && o.Rate <= 16)) return "the rate must be 0.25 to 16";
    if (!(o.Fps >= 0.1 && o.Fps <= 120)) return "the frame rate must be 0.1 to 120";
    if (o.Width < 0 || o.Height < 0 || o.Width > 8192 || o.Height > 8192)
        return "the size must be 1 to 8192 a side";
    if (!(o.Scale == 0 || (o.Scale >= 0.01 && o.Scale <= 8))) return "the scale must be 0.01 to 8";
    if (o.Crf > 63) return "the CRF must be 0 to 63";
    if (o.Bitrate < 0) return "the bit rate must be positive";
    return {};
}

bool UsesMarkers(const TExportOptions& o) {
    using K = TExportTime::TKind;
    return o.From.Kind == K::MarkerIndex || o.From.Kind == K::MarkerText ||
           o.To.Kind == K::MarkerIndex || o.To.Kind == K::MarkerText;
}

// The time a point names, or an error.
std::string Resolve(const TExportTime& t, const std::vector<TMarker>& markers, uint32_t& ms) {
    switch (t.Kind) {
    case TExportTime::TKind::None:
    case TExportTime::TKind::Ms:
        ms = t.Ms;
        return {};
    case TExportTime::TKind::MarkerIndex:
        if (t.Ms < 1 || t.Ms > markers.size())
            return "there is no marker " + std::to_string(t.Ms) + " (the recording has " +
                   std::to_string(markers.size()) + ")";
        ms = markers[t.Ms - 1].Time;
        return {};
    case TExportTime::TKind::MarkerText:
        for (const TMarker& m : markers)
            if (m.Text == t.Text) {
                ms = m.Time;
                return {};
            }
        return "there is no marker \"" + t.Text + "\"";
    }
    return {};
}

// An exported picture's name: NNNNNN_TTTTTTTTT.png.
bool PictureName(const std::string& n) {
    if (n.size() != 20 || n[6] != '_' || n.compare(16, 4, ".png") != 0) return false;
    for (size_t i = 0; i < 16; ++i)
        if (i != 6 && (n[i] < '0' || n[i] > '9')) return false;
    return true;
}

// Our own pictures only: a folder holding anything else is not replaced.
bool OnlyPictures(const fs::path& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (!e.is_regular_file() || !PictureName(e.path().filename().string())) return false;
    return !ec;
}

struct TPaths {
    fs::path Final, Part;
};

// Where the output goes, refused when it may not be written.
std::string PlaceOutput(const TExportOptions& o, bool folder, TPaths& paths) {
    std::string out = o.Output;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    if (out.empty()) return "no output named";
    paths.Final = out;
    paths.Part = out + ".part";
    std::error_code ec;
    fs::path parent = paths.Final.parent_path();
    if (parent.empty()) parent = ".";
    if (!fs::is_directory(parent, ec))
        return "cannot write " + o.Output + ": no folder " + parent.string();
    if (::access(parent.c_str(), W_OK | X_OK) != 0)
        return "cannot write " + o.Output + ": the folder " + parent.string() + " is not writable";
    if (fs::exists(paths.Final, ec)) {
        if (!o.Force) return o.Output + " exists (--force replaces it)";
        const bool isFolder = fs::is_directory(paths.Final, ec);
        if (isFolder != folder) return o.Output + (isFolder ? " is a folder" : " is not a folder");
        if (isFolder && !OnlyPictures(paths.Final))
            return o.Output + " holds other files than exported pictures";
    }
    return {};
}

class TExport {
public:
    TExport(const TExportOptions& options, const TExportProgressFn& progress, TExportCancel& cancel)
        : FOptions(options), FProgressFn(progress), FCancel(cancel) {}
    TExportResult Run();

private:
    int ResolveRange(std::string& message);
    int Pass(int pass, std::string& message);
    void Report(uint32_t position, uint64_t frames, bool force);

    TExportOptions FOptions;
    const TExportProgressFn& FProgressFn;
    TExportCancel& FCancel;
    TExportCodec FCodec = TExportCodec::Auto;
    TPaths FPaths;
    std::optional<uint32_t> FFrom;
    uint32_t FTo = 0, FTotal = 0;
    int FPass = 1, FPasses = 1;
    TColorHistogram FHistogram;
    TGifPalette FPalette;
    std::unique_ptr<IFrameSink> FSink;
    TExportResult FResult;
    bool FOpenFailed = false;
    std::chrono::steady_clock::time_point FStarted = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point FReported{};
};

void TExport::Report(uint32_t position, uint64_t frames, bool force) {
    if (!FProgressFn) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - FReported < std::chrono::milliseconds(100)) return;
    FReported = now;
    TExportProgress p;
    const uint32_t from = FFrom.value_or(0);
    p.TotalMs = FTotal;
    p.DoneMs = std::min(position > from ? position - from : 0, FTotal);
    if (force) p.DoneMs = FTotal;
    p.Frames = frames;
    p.ElapsedSeconds = std::chrono::duration<double>(now - FStarted).count();
    p.Pass = FPass;
    p.Passes = FPasses;
    FProgressFn(p);
}

int TExport::ResolveRange(std::string& message) {
    std::vector<TMarker> markers;
    if (UsesMarkers(FOptions)) {
        // The markers come from the record headers: read them once aside.
        TExportHost probe(FOptions, FCancel, -1, -1);
        if (int code = probe.Open(message)) {
            FOpenFailed = code != kExportCancelled;
            return code;
        }
        const bool network = IsNetworkAddress(NormalizeAddress(FOptions.Address));
        if (!(network ? probe.ReadThrough() : probe.WaitForActivity()))
            return FCancel.Cancelled() ? kExportCancelled
                                       : (message = "the source stopped delivering", kExportFailed);
        markers = probe.Core().Markers();
    }
    uint32_t from = 0, to = 0;
    if (std::string why = Resolve(FOptions.From, markers, from); !why.empty()) {
        message = why;
        return kExportUsage;
    }
    if (std::string why = Resolve(FOptions.To, markers, to); !why.empty()) {
        message = why;
        return kExportUsage;
    }
    if (FOptions.From.Kind != TExportTime::TKind::None) FFrom = from;
    if (FOptions.To.Kind != TExportTime::TKind::None) {
        if (to <= from) {
            message = "the range ends before it begins";
            return kExportUsage;
        }
        FTo = to;
    }
    return 0;
}

int TExport::Pass(int pass, std::string& message) {
    FPass = pass;
    TExportHost host(FOptions, FCancel, FFrom ? int64_t{*FFrom} : -1, FTo ? int64_t{FTo} : -1,
                     1000 / FormatInfo(FCodec).TimeBase);
    if (int code = host.Open(message)) {
        FOpenFailed = code != kExportCancelled;
        return code;
    }
    TKivPlayerCore& core = host.Core();
    if (core.Statistics().Live) {
        message = "an export needs a recording, not a live source";
        return kExportUsage;
    }
    core.SetRate(FOptions.Rate);
    if (FOptions.SkipIdle) {
        core.SetSkipIdle(true);
        // The stretches of a local file come from the scan of its headers.
        if (!IsNetworkAddress(NormalizeAddress(FOptions.Address)) && !host.WaitForActivity())
            return FCancel.Cancelled() ? kExportCancelled : kExportFailed;
    }
    const uint32_t end = FTo ? FTo : core.Duration();
    FTotal = end > FFrom.value_or(0) ? end - FFrom.value_or(0) : 0;
    const bool palettePass = FCodec == TExportCodec::Gif && pass == 1;
    TEmit emit = [&](const TBitmap24& picture, int64_t ms, const TRect& changed) {
        if (palettePass) {
            FHistogram.Add(picture);
            return;
        }
        if (!FSink) {
            if (FCodec == TExportCodec::Png) fs::create_directory(FPaths.Part);
            FSink = MakeSink(FOptions, FCodec, FPaths.Part.string(), picture.Width(),
                             picture.Height(), &FPalette);
        }
        FSink->Write(picture, ms, changed);
    };
    int64_t endMs = 0;
    const int code = host.Play(emit, endMs, message,
                               [&](uint32_t pos, uint64_t frames) { Report(pos, frames, false); });
    if (code) return code;
    if (!host.Initialized()) {
        message = "no key frame was composed in the range";
        return kExportNoPicture;
    }
    if (palettePass) {
        FPalette = FHistogram.MakePalette();
        return 0;
    }
    try {
        if (FSink) FSink->Finish(FOptions.Cfr ? -1 : endMs);
    } catch (const std::exception& e) {
        message = e.what();
        return kExportFailed;
    }
    FResult.Frames = host.Frames();
    FResult.Skipped = core.Statistics().Skipped;
    Report(end, host.Frames(), true);
    return 0;
}

TExportResult TExport::Run() {
    if (std::string why = Validate(FOptions); !why.empty()) return Failure(kExportUsage, why);
    FCodec =
        FOptions.Codec != TExportCodec::Auto ? FOptions.Codec : CodecForOutput(FOptions.Output);
    if (FCodec == TExportCodec::Auto)
        return Failure(kExportUsage,
                       "cannot tell the format of " + FOptions.Output +
                           ": name it .mp4, .webm, .mkv or .gif, end it in / for PNG pictures, "
                           "or give --codec");
    if (FCodec == TExportCodec::Gif) {
        FPasses = 2;
        FOptions.Fps =
            std::min(FOptions.Fps, 50.0); // GIF delays are centiseconds; players clamp below 2
    }
    if (std::string why = PlaceOutput(FOptions, FCodec == TExportCodec::Png, FPaths); !why.empty())
        return Failure(why.find("cannot write") == 0 ? kExportFailed : kExportUsage, why);
    std::error_code ec;
    fs::remove_all(FPaths.Part, ec); // a run killed earlier
    std::string message;
    int code = ResolveRange(message);
    for (int pass = 1; !code && pass <= FPasses; ++pass)
        code = Pass(pass, message);
    FSink.reset(); // closes the file
    if (!code) {
        if (fs::exists(FPaths.Final, ec)) fs::remove_all(FPaths.Final, ec);
        fs::rename(FPaths.Part, FPaths.Final, ec);
        if (ec) {
            code = kExportFailed;
            message = "cannot rename " + FPaths.Part.string() + ": " + ec.message();
        }
    }
    if (code) {
        fs::remove_all(FPaths.Part, ec);
        TExportResult r = Failure(code, message);
        r.OpenFailed = FOpenFailed;
        r.Frames = FResult.Frames;
        r.Skipped = FResult.Skipped;
        return r;
    }
    FResult.Output = FPaths.Final.string();
    return FResult;
}

} // namespace

TExportResult RunExport(const TExportOptions& options, const TExportProgressFn& progress,
                        TExportCancel& cancel) {
    // FFmpeg's own chatter would break the progress line; failures come as results.
    av_log_set_level(AV_LOG_ERROR);
    try {
        return TExport(options, progress, cancel).Run();
    } catch (const std::exception& e) {
        return Failure(kExportFailed, e.what());
    }
}

} // namespace kiv
