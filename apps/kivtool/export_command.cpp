// export: the recording as a video file or a folder of pictures.
#include "commands.h"

#include "export/exporter.h"
#include "platform/parse.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace kivtool {

using namespace kiv;

namespace {

constexpr const char* kUsage =
    "usage: kivtool export ADDRESS OUT [--from T] [--to T] [--rate R] [--skip-idle]\n"
    "       [--size WxH | --scale F] [--fps N] [--cfr] [--codec h264|vp9|ffv1|gif|png]\n"
    "       [--crf N] [--preset P] [--bitrate B] [--no-pointer] [--force]\n"
    "  T: milliseconds, hh:mm:ss[.mmm], marker:N or marker:TEXT\n";

int Usage(const std::string& why = {}) {
    if (!why.empty()) std::fprintf(stderr, "kivtool: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return kUsageExit;
}

bool ParseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == 0 && std::isfinite(out);
}

bool ParseSize(const std::string& text, int32_t& w, int32_t& h) {
    const size_t x = text.find_first_of("xX");
    uint64_t a = 0, b = 0;
    if (x == std::string::npos) return false;
    const std::string left = text.substr(0, x), right = text.substr(x + 1);
    // One side may be left out: it follows the picture's proportions.
    if (!left.empty() && !ParseDecimal(left, 8192, a)) return false;
    if (!right.empty() && !ParseDecimal(right, 8192, b)) return false;
    if (a == 0 && b == 0) return false;
    w = static_cast<int32_t>(a);
    h = static_cast<int32_t>(b);
    return true;
}

bool ParseBitrate(std::string text, int64_t& out) {
    double scale = 1;
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) scale = 1e3;
    if (!text.empty() && (text.back() == 'm' || text.back() == 'M')) scale = 1e6;
    if (scale != 1) text.pop_back();
    double v = 0;
    if (!ParseNumber(text, v) || v <= 0 || v * scale > 1e10) return false;
    out = static_cast<int64_t>(v * scale);
    return true;
}

std::string Clock(uint32_t ms) {
    const uint32_t s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    return text;
}

// A bar redrawn in place on a terminal; a line per tenth otherwise.
class TProgressLine {
public:
    TProgressLine() : FTerminal(::isatty(2) == 1) {}
    void operator()(const TExportProgress& p) {
        const double part = p.TotalMs ? double(p.DoneMs) / p.TotalMs : 1;
        const double overall = (p.Pass - 1 + part) / p.Passes;
        const double speed = p.ElapsedSeconds > 0 ? p.DoneMs / 1000.0 / p.ElapsedSeconds *
                                                        (p.Passes > 1 ? 1.0 / p.Passes : 1.0)
                                                  : 0;
        const double left = overall > 0 ? p.ElapsedSeconds * (1 - overall) / overall : 0;
        char pass[24] = "";
        if (p.Passes > 1) std::snprintf(pass, sizeof pass, " pass %d/%d", p.Pass, p.Passes);
        const int percent = static_cast<int>(overall * 100);
        if (FTerminal) {
            char bar[31];
            const int filled = static_cast<int>(overall * 30);
            for (int i = 0; i < 30; ++i)
                bar[i] = i < filled ? '#' : '.';
            bar[30] = 0;
            std::fprintf(stderr, "\r[%s] %3d%%  %s / %s  %.1fx  %s left%s  ", bar, percent,
                         Clock(p.DoneMs).c_str(), Clock(p.TotalMs).c_str(), speed,
                         Clock(static_cast<uint32_t>(left * 1000)).c_str(), pass);
            FDrawn = true;
        } else if (percent / 10 > FLastTenth) {
            FLastTenth = percent / 10;
            std::fprintf(stderr, "export: %d%% %s of %s, %.1fx real time, %s left%s\n", percent,
                         Clock(p.DoneMs).c_str(), Clock(p.TotalMs).c_str(), speed,
                         Clock(static_cast<uint32_t>(left * 1000)).c_str(), pass);
        }
    }
    void End() {
        if (FDrawn) std::fputc('\n', stderr);
        FDrawn = false;
    }

private:
    bool FTerminal;
    bool FDrawn = false;
    int FLastTenth = -1;
};

// Ctrl-C and SIGTERM cancel the export from a thread of their own, which ends
// on the signal its owner sends it once the export is over.
class TSignalCancel {
public:
    explicit TSignalCancel(TExportCancel& cancel) {
        sigemptyset(&FSet);
        sigaddset(&FSet, SIGINT);
        sigaddset(&FSet, SIGTERM);
        // Blocked before the export's threads start, so they inherit it.
        pthread_sigmask(SIG_BLOCK, &FSet, &FOld);
        FThread = std::thread([this, &cancel] {
            for (;;) {
                int sig = 0;
                if (sigwait(&FSet, &sig) != 0) continue;
                if (FOver) return;
                cancel.Cancel();
            }
        });
    }
    ~TSignalCancel() {
        FOver = true;
        pthread_kill(FThread.native_handle(), SIGTERM);
        FThread.join();
        pthread_sigmask(SIG_SETMASK, &FOld, nullptr);
    }

private:
    sigset_t FSet, FOld;
    std::atomic<bool> FOver{false}; // set by the owner, read by the signal thread
    std::thread FThread;
};

} // namespace

int ExportMain(const TArgs& args) {
    TExportOptions o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        double d = 0;
        if (a == "--skip-idle") {
            o.SkipIdle = true;
        } else if (a == "--cfr") {
            o.Cfr = true;
        } else if (a == "--no-pointer") {
            o.Pointer = false;
        } else if (a == "--force") {
            o.Force = true;
        } else if (a == "--from" || a == "--to") {
            if (!value(v) || !ParseExportTime(v, a == "--from" ? o.From : o.To))
                return Usage("bad time for " + a);
        } else if (a == "--rate") {
            if (!value(v) || !ParseNumber(v, o.Rate) || o.Rate < 0.25 || o.Rate > 16)
                return Usage("the rate must be 0.25 to 16");
        } else if (a == "--fps") {
            if (!value(v) || !ParseNumber(v, o.Fps) || o.Fps < 0.1 || o.Fps > 120)
                return Usage("the frame rate must be 0.1 to 120");
        } else if (a == "--scale") {
            if (!value(v) || !ParseNumber(v, o.Scale) || o.Scale < 0.01 || o.Scale > 8)
                return Usage("the scale must be 0.01 to 8");
        } else if (a == "--size") {
            if (!value(v) || !ParseSize(v, o.Width, o.Height)) return Usage("bad size, give WxH");
        } else if (a == "--crf") {
            if (!value(v) || !ParseNumber(v, d) || d < 0 || d > 63 || d != std::floor(d))
                return Usage("the CRF must be 0 to 63");
            o.Crf = static_cast<int>(d);
        } else if (a == "--preset") {
            if (!value(v)) return Usage();
            o.Preset = v;
        } else if (a == "--bitrate") {
            if (!value(v) || !ParseBitrate(v, o.Bitrate)) return Usage("bad bit rate");
        } else if (a == "--codec") {
            if (!value(v) || !ParseExportCodec(v, o.Codec)) return Usage("unknown codec " + v);
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return Usage("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return Usage();
    o.Address = positional[0];
    o.Output = positional[1];

    TExportCancel cancel;
    TProgressLine line;
    TExportResult r;
    {
        TSignalCancel signals(cancel);
        r = RunExport(
            o, [&](const TExportProgress& p) { line(p); }, cancel);
    }
    line.End();
    if (r.Code == kExportCancelled) {
        std::fprintf(stderr, "kivtool: export cancelled, nothing written\n");
        return r.Code;
    }
    if (r.Code) {
        // An open failure is the line `info` prints; the rest are kivtool's.
        std::fprintf(stderr, r.OpenFailed ? "%s\n" : "kivtool: %s\n", r.Message.c_str());
        return r.Code;
    }
    std::fprintf(stderr, "kivtool: wrote %s: %llu frames%s\n", r.Output.c_str(),
                 static_cast<unsigned long long>(r.Frames),
                 r.Skipped
                     ? (", " + std::to_string(r.Skipped) + " damaged samples passed over").c_str()
                     : "");
    return 0;
}

} // namespace kivtool
