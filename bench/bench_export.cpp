// Export figures (run by run_export_bench.sh):
//   bench_export overhead REC SECONDS [RUNS]  the export to H.264 against libx264
//                                       alone fed from memory with the same frames and
//                                       times, in turn, RUNS times (5)
//   bench_export psnr REC OUT N        N random frames of OUT against kivtool snapshot
#include "export/exporter.h"
#include "export/frame_convert.h"

#include "../tests/export/decoded_video.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(TClock::time_point since) {
    return std::chrono::duration<double>(TClock::now() - since).count();
}

kiv::TExportResult Export(const std::string& rec, const std::string& out, uint32_t toMs) {
    kiv::TExportOptions o;
    o.Address = rec;
    o.Output = out;
    o.Force = true;
    o.To.Kind = kiv::TExportTime::TKind::Ms;
    o.To.Ms = toMs;
    kiv::TExportCancel cancel;
    return kiv::RunExport(o, {}, cancel);
}

// A picture as the export takes it, in blue-green-red rows.
kiv::TBitmap24 ToBitmap(const kiv::test::TRgbImage& p) {
    kiv::TBitmap24 b;
    b.Create(static_cast<int32_t>(p.Width), static_cast<int32_t>(p.Height));
    for (uint32_t y = 0; y < p.Height; ++y)
        for (uint32_t x = 0; x < p.Width; ++x) {
            const uint8_t* s = p.Row(y) + x * 3;
            uint8_t* d = b.Row(static_cast<int32_t>(y)) + x * 3;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    return b;
}

// The export's 4:2:0 conversion of p (odd sides padded as the export pads them),
// read back as the quality figure reads a decoded frame: what the picture keeps
// before any encoder loses anything.
kiv::test::TRgbImage Through420(const kiv::test::TRgbImage& p) {
    const int w = static_cast<int>(p.Width), h = static_cast<int>(p.Height);
    const kiv::exporting::TOutputSize size{w, h, w + (w & 1), h + (h & 1)};
    AVFrame* f = av_frame_alloc();
    f->format = AV_PIX_FMT_YUV420P;
    f->width = size.FrameWidth;
    f->height = size.FrameHeight;
    av_frame_get_buffer(f, 0);
    const kiv::TBitmap24 picture = ToBitmap(p);
    kiv::exporting::TFrameConverter(w, h, size, AV_PIX_FMT_YUV420P, nullptr)
        .Convert(picture, picture.Bounds(), *f);
    std::vector<uint8_t> back(size_t(size.FrameWidth) * size.FrameHeight * 3);
    SwsContext* sws = sws_getContext(size.FrameWidth, size.FrameHeight, AV_PIX_FMT_YUV420P,
                                     size.FrameWidth, size.FrameHeight, AV_PIX_FMT_RGB24,
                                     SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                     nullptr, nullptr);
    uint8_t* dst[4] = {back.data()};
    const int stride[4] = {size.FrameWidth * 3};
    sws_scale(sws, f->data, f->linesize, 0, size.FrameHeight, dst, stride);
    sws_freeContext(sws);
    av_frame_free(&f);
    kiv::test::TRgbImage out{p.Width, p.Height, std::vector<uint8_t>(p.Pixels.size())};
    for (uint32_t y = 0; y < p.Height; ++y)
        std::memcpy(out.Pixels.data() + size_t{y} * p.Width * 3,
                    back.data() + size_t{y} * size.FrameWidth * 3, size_t{p.Width} * 3);
    return out;
}

struct TYuvFrame {
    int64_t Ms;
    AVFrame* Frame;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// libx264 as the export sets it up, fed the frames from memory: seconds.
double EncodeAlone(const std::vector<TYuvFrame>& frames, int w, int h) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->width = w;
    c->height = h;
    c->time_base = AVRational{1, 1000};
    c->framerate = AVRational{30, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->thread_count = 2;
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "preset", "veryfast", 0);
    av_dict_set(&opts, "crf", "23", 0);
    av_dict_set(&opts, "x264-params", "rc-lookahead=0:sync-lookahead=0:bframes=0", 0);
    avcodec_open2(c, codec, &opts);
    av_dict_free(&opts);
    AVPacket* pkt = av_packet_alloc();
    const auto t0 = TClock::now();
    auto drain = [&] {
        while (avcodec_receive_packet(c, pkt) == 0)
            av_packet_unref(pkt);
    };
    for (const auto& f : frames) {
        avcodec_send_frame(c, f.Frame);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    const double seconds = Seconds(t0);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    return seconds;
}

int Overhead(const std::string& rec, uint32_t seconds, int runs) {
    const std::string dir = fs::temp_directory_path() / ("kivbench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The same pictures exactly, from the lossless export, into memory as the encoder takes them.
    const kiv::TExportResult mkv = Export(rec, dir + "/a.mkv", seconds * 1000);
    std::string error;
    auto pictures = kiv::test::DecodeVideo(dir + "/a.mkv", error);
    if (mkv.Code || pictures.empty()) {
        std::fprintf(stderr, "lossless export failed: %s %s\n", mkv.Message.c_str(), error.c_str());
        fs::remove_all(dir);
        return 1;
    }
    const int w = static_cast<int>(pictures[0].Picture.Width),
              h = static_cast<int>(pictures[0].Picture.Height);
    std::vector<TYuvFrame> frames;
    for (auto& p : pictures) {
        AVFrame* f = av_frame_alloc();
        f->format = AV_PIX_FMT_YUV420P;
        f->width = w;
        f->height = h;
        av_frame_get_buffer(f, 0);
        kiv::exporting::ConvertToYuv420(ToBitmap(p.Picture), {0, 0, w, h}, *f);
        f->pts = p.Ms;
        frames.push_back({p.Ms, f});
        std::vector<uint8_t>().swap(p.Picture.Pixels);
    }
    // In turn, so that the machine's load falls on both alike.
    std::vector<double> exports, alone, ratios;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = TClock::now();
        const kiv::TExportResult mp4 = Export(rec, dir + "/a.mp4", seconds * 1000);
        exports.push_back(Seconds(t0) / double(frames.size()));
        if (mp4.Code) {
            std::fprintf(stderr, "export failed: %s\n", mp4.Message.c_str());
            fs::remove_all(dir);
            return 1;
        }
        alone.push_back(EncodeAlone(frames, w, h) / double(frames.size()));
        ratios.push_back(exports.back() / alone.back());
    }
    fs::remove_all(dir);
    for (auto& f : frames)
        av_frame_free(&f.Frame);
    const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("overhead over %d runs of %zu frames: export %.1f ms a frame, libx264 alone from "
                "memory %.1f ms a frame (medians), median ratio %.2f, from %.2f to %.2f (goal: at "
                "most 1.15)\n",
                runs, frames.size(), Median(exports) * 1000, Median(alone) * 1000, Median(ratios),
                *lo, *hi);
    return 0;
}

int Quality(const std::string& rec, const std::string& out, int count) {
    // count frames drawn at random from the export, read one at a time: a
    // long export does not fit in memory as pictures.
    std::mt19937 rng(21);
    std::vector<kiv::test::TDecodedFrame> picked;
    std::string error;
    if (fs::is_directory(out)) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::uniform_int_distribution<size_t> pick(0, names.size() - 1);
        for (int i = 0; i < count && !names.empty(); ++i) {
            kiv::test::TDecodedFrame f;
            const std::string& n = names[pick(rng)];
            f.Ms = std::atoll(n.substr(7, 9).c_str());
            if (!kiv::test::ReadPngRgb(out + "/" + n, f.Picture, &error)) break;
            picked.push_back(std::move(f));
        }
    } else {
        // Frame numbers first, then the pictures of those frames.
        std::vector<int64_t> times;
        kiv::test::DecodeVideoEach(out, error,
                                   [&](kiv::test::TDecodedFrame&& f) { times.push_back(f.Ms); });
        if (times.size() > 1) times.pop_back(); // the trailing repeat of the picture before it
        std::sort(times.begin(), times.end());
        std::uniform_int_distribution<size_t> pick(0, times.size() - 1);
        std::vector<int64_t> wanted;
        for (int i = 0; i < count; ++i)
            wanted.push_back(times[pick(rng)]);
        kiv::test::DecodeVideoEach(out, error, [&](kiv::test::TDecodedFrame&& f) {
            for (int64_t t : wanted)
                if (t == f.Ms) picked.push_back(f);
        });
    }
    if (picked.empty()) {
        std::fprintf(stderr, "cannot read %s: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    const std::string shot =
        fs::temp_directory_path() / ("kivbench-shot-" + std::to_string(getpid()) + ".png");
    const std::string err = shot + ".err";
    double worst = 99, sum = 0, ceiling = 0;
    int identical = 0;
    const bool lossy = fs::path(out).extension() == ".mp4" || fs::path(out).extension() == ".webm";
    for (const auto& f : picked) {
        kiv::test::TRgbImage want;
        if (!kiv::test::Snapshot(rec, f.Ms, shot, want, err)) {
            std::fprintf(stderr, "snapshot at %lld failed\n", static_cast<long long>(f.Ms));
            return 1;
        }
        const double psnr = kiv::test::Psnr(f.Picture, want);
        worst = std::min(worst, psnr);
        sum += psnr;
        identical += psnr >= 99;
        if (lossy) ceiling += kiv::test::Psnr(Through420(want), want);
    }
    std::remove(shot.c_str());
    std::remove(err.c_str());
    std::printf("quality: %s, %zu random frames against kivtool snapshot: PSNR mean %.1f dB, worst "
                "%.1f dB (goal: at least 38), %d identical (99 means identical)\n",
                fs::path(out).filename().c_str(), picked.size(), sum / double(picked.size()), worst,
                identical);
    if (lossy)
        std::printf("quality: %s, the same pictures through 4:2:0 alone, no encoder: PSNR mean "
                    "%.1f dB (what the 4:2:0 conversion keeps before any encoding)\n",
                    fs::path(out).filename().c_str(), ceiling / double(picked.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "overhead" && (argc == 4 || argc == 5))
        return Overhead(argv[2], static_cast<uint32_t>(std::atoi(argv[3])),
                        argc == 5 ? std::max(1, std::atoi(argv[4])) : 5);
    if (mode == "psnr" && argc == 5) return Quality(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: bench_export overhead REC SECONDS [RUNS] | psnr REC OUT N\n");
    return 2;
}
