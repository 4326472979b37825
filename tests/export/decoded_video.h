// Reads an export back with FFmpeg's libraries: every frame as RGB rows with its
// time, and the pictures kivtool snapshot takes at those times.
#pragma once

#include "support/kivtool_run.h"
#include "support/png_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kiv::test {

struct TDecodedFrame {
    int64_t Ms = 0;
    TRgbImage Picture;
};

// Each frame in decoding order, handed to `take` (which may keep it); false on failure.
inline bool DecodeVideoEach(const std::string& path, std::string& error,
                            const std::function<void(TDecodedFrame&&)>& take) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        error = "cannot open " + path;
        return false;
    }
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext* c = index >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* sws = nullptr;
    if (!c || avcodec_parameters_to_context(c, format->streams[index]->codecpar) < 0 ||
        avcodec_open2(c, codec, nullptr) < 0) {
        error = "no decoder";
    } else {
        const AVRational tb = format->streams[index]->time_base;
        auto receive = [&] {
            while (avcodec_receive_frame(c, frame) == 0) {
                TDecodedFrame f;
                f.Ms = av_rescale_q(frame->best_effort_timestamp, tb, AVRational{1, 1000});
                f.Picture.Width = static_cast<uint32_t>(frame->width);
                f.Picture.Height = static_cast<uint32_t>(frame->height);
                f.Picture.Pixels.resize(size_t{f.Picture.Width} * f.Picture.Height * 3);
                sws = sws_getCachedContext(
                    sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                    frame->width, frame->height, AV_PIX_FMT_RGB24,
                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
                uint8_t* dst[4] = {f.Picture.Pixels.data()};
                int stride[4] = {frame->width * 3};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
                take(std::move(f));
            }
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index) avcodec_send_packet(c, packet);
            av_packet_unref(packet);
            receive();
        }
        avcodec_send_packet(c, nullptr);
        receive();
    }
    sws_freeContext(sws);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    avformat_close_input(&format);
    return error.empty();
}

inline std::vector<TDecodedFrame> DecodeVideo(const std::string& path, std::string& error) {
    std::vector<TDecodedFrame> frames;
    DecodeVideoEach(path, error, [&](TDecodedFrame&& f) { frames.push_back(std::move(f)); });
    std::sort(frames.begin(), frames.end(),
              [](const TDecodedFrame& a, const TDecodedFrame& b) { return a.Ms < b.Ms; });
    return frames;
}

// A folder of NNNNNN_TTTTTTTTT.png pictures, in order.
inline std::vector<TDecodedFrame> ReadPictureFolder(const std::string& folder, std::string& error) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<TDecodedFrame> frames;
    for (const auto& n : names) {
        TDecodedFrame f;
        f.Ms = std::atoll(n.substr(7, 9).c_str());
        if (!ReadPngRgb(folder + "/" + n, f.Picture, &error)) return {};
        frames.push_back(std::move(f));
    }
    return frames;
}

// Peak signal-to-noise ratio over the three channels; 99 for identical pictures.
inline double Psnr(const TRgbImage& a, const TRgbImage& b) {
    if (a.Width != b.Width || a.Height != b.Height) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.Pixels.size(); ++i) {
        const double d = double(a.Pixels[i]) - double(b.Pixels[i]);
        sum += d * d;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * double(a.Pixels.size()) / sum);
}

inline bool Snapshot(const std::string& recording, int64_t ms, const std::string& out,
                     TRgbImage& picture, const std::string& errFile) {
    const TRun run =
        RunKivtool(errFile, "snapshot --play " + recording + " " + std::to_string(ms) + " " + out);
    return run.Exit == 0 && ReadPngRgb(out, picture);
}

} // namespace kiv::test
