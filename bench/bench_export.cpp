// Export figures (run by run_export_bench.sh):
//   bench_export overhead REC SECONDS  the export to H.264 against libx264 alone fed
//                                       from memory with the same frames and times
//   bench_export psnr REC OUT N        N random frames of OUT against kivtool snapshot
#include "export/exporter.h"

#include "../tests/export/decoded_video.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <chrono>
#include <cstdio>
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

struct TYuvFrame {
    int64_t Ms;
    AVFrame* Frame;
};

int Overhead(const std::string& rec, uint32_t seconds) {
    const std::string dir = fs::temp_directory_path() / ("kivbench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto t0 = TClock::now();
    const kiv::TExportResult mp4 = Export(rec, dir + "/a.mp4", seconds * 1000);
    const double exportSeconds = Seconds(t0);
    if (mp4.Code) {
        std::fprintf(stderr, "export failed: %s\n", mp4.Message.c_str());
        return 1;
    }
    // The same pictures exactly, from the lossless export, into memory as the encoder takes them.
    const kiv::TExportResult mkv = Export(rec, dir + "/a.mkv", seconds * 1000);
    std::string error;
    auto pictures = kiv::test::DecodeVideo(dir + "/a.mkv", error);
    fs::remove_all(dir);
    if (mkv.Code || pictures.empty()) {
        std::fprintf(stderr, "lossless export failed: %s %s\n", mkv.Message.c_str(), error.c_str());
        return 1;
    }
    const int w = static_cast<int>(pictures[0].Picture.Width),
              h = static_cast<int>(pictures[0].Picture.Height);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_RGB24, w, h, AV_PIX_FMT_YUV420P,
                                     SWS_BICUBIC | SWS_FULL_CHR_H_INP | SWS_ACCURATE_RND, nullptr,
                                     nullptr, nullptr);
    std::vector<TYuvFrame> frames;
    for (auto& p : pictures) {
        AVFrame* f = av_frame_alloc();
        f->format = AV_PIX_FMT_YUV420P;
        f->width = w;
        f->height = h;
        av_frame_get_buffer(f, 0);
        const uint8_t* src[4] = {p.Picture.Pixels.data()};
        const int stride[4] = {w * 3};
        sws_scale(sws, src, stride, 0, h, f->data, f->linesize);
        f->pts = p.Ms;
        frames.push_back({p.Ms, f});
        std::vector<uint8_t>().swap(p.Picture.Pixels);
    }
    sws_freeContext(sws);
    // libx264 as the export sets it up.
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
    uint64_t bytes = 0;
    const auto t1 = TClock::now();
    auto drain = [&] {
        while (avcodec_receive_packet(c, pkt) == 0) {
            bytes += static_cast<uint64_t>(pkt->size);
            av_packet_unref(pkt);
        }
    };
    for (auto& f : frames) {
        avcodec_send_frame(c, f.Frame);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    const double x264Seconds = Seconds(t1);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    for (auto& f : frames)
        av_frame_free(&f.Frame);
    const double perExport = exportSeconds / double(frames.size());
    const double perX264 = x264Seconds / double(frames.size());
    std::printf("overhead: export %.1f ms a frame (%zu frames in %.2f s), libx264 alone from "
                "memory %.1f ms a frame, ratio %.2f (goal: at most 1.15)\n",
                perExport * 1000, frames.size(), exportSeconds, perX264 * 1000,
                perExport / perX264);
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
    double worst = 99, sum = 0;
    int identical = 0;
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
    }
    std::remove(shot.c_str());
    std::remove(err.c_str());
    std::printf("quality: %s, %zu random frames against kivtool snapshot: PSNR mean %.1f dB, worst "
                "%.1f dB (goal: at least 38), %d identical (99 means identical)\n",
                fs::path(out).filename().c_str(), picked.size(), sum / double(picked.size()), worst,
                identical);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "overhead" && argc == 4)
        return Overhead(argv[2], static_cast<uint32_t>(std::atoi(argv[3])));
    if (mode == "psnr" && argc == 5) return Quality(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: bench_export overhead REC SECONDS | psnr REC OUT N\n");
    return 2;
}
