// The encoders and their outputs: a container file through libavformat, or a
// folder of PNG pictures named by frame and time.
#include "export/av_handles.h"
#include "export/export_formats.h"
#include "export/frame_convert.h"
#include "export/frame_sink.h"
#include "export/gif_palette.h"
#include "platform/error.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace kiv::exporting {

void Check(int code, const char* what) {
    if (code < 0) throw EKivError(std::string(what) + ": " + AvError(code));
}

namespace {

int32_t Even(int32_t v) {
    return v + (v & 1);
}

// The codec context for a format, opened; the container's wishes in globalHeader.
TCodecContext OpenEncoder(const TExportOptions& options, const TFormatInfo& info,
                          const TOutputSize& size, bool globalHeader) {
    const AVCodec* codec = avcodec_find_encoder_by_name(info.Encoder);
    if (!codec) throw EKivError(std::string("the encoder ") + info.Encoder + " is not available");
    TCodecContext c(avcodec_alloc_context3(codec));
    if (!c) throw EKivError("out of memory");
    c->width = size.FrameWidth;
    c->height = size.FrameHeight;
    c->time_base = AVRational{1, info.TimeBase};
    c->framerate = AVRational{static_cast<int>(std::lround(options.Fps)), 1};
    c->pix_fmt = info.Pixels;
    c->sample_aspect_ratio = AVRational{1, 1};
    if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* opts = nullptr;
    const std::string crf = std::to_string(options.Crf);
    switch (info.Codec) {
    case TExportCodec::H264:
        av_dict_set(&opts, "preset", options.Preset.empty() ? "veryfast" : options.Preset.c_str(),
                    0);
        if (options.Bitrate > 0)
            c->bit_rate = options.Bitrate;
        else
            av_dict_set(&opts, "crf", options.Crf >= 0 ? crf.c_str() : "23", 0);
        // Memory bounded at any size: no look-ahead, no B-frames, two frame
        // threads (each look-ahead frame costs a picture's worth many times over).
        av_dict_set(&opts, "x264-params", "rc-lookahead=0:sync-lookahead=0:bframes=0", 0);
        c->thread_count = 2;
        break;
    case TExportCodec::Vp9:
        // libvpx's good deadline runs at half real time at 1920 x 1080 here.
        av_dict_set(&opts, "deadline", "realtime", 0);
        av_dict_set(&opts, "cpu-used", "8", 0);
        av_dict_set(&opts, "row-mt", "1", 0);
        av_dict_set(&opts, "lag-in-frames", "0", 0);
        c->thread_count = 2;
        if (options.Bitrate > 0) {
            c->bit_rate = options.Bitrate;
        } else {
            c->bit_rate = 0;
            av_dict_set(&opts, "crf", options.Crf >= 0 ? crf.c_str() : "32", 0);
        }
        break;
    case TExportCodec::Ffv1:
        // FFmpeg's FFV1 encoder reserves 148 bytes a pixel for each packet.
        if (int64_t{size.FrameWidth} * size.FrameHeight > int64_t{3840} * 2160)
            throw EKivError("FFV1 is limited to 3840 x 2160 here: give --size or --scale");
        av_dict_set(&opts, "level", "3", 0);
        av_dict_set(&opts, "slices", "4", 0);
        c->gop_size = 1;
        c->thread_count = 2;
        break;
    case TExportCodec::Png:
        c->thread_count = 2;
        break;
    default:
        break;
    }
    const int opened = avcodec_open2(c.get(), codec, &opts);
    av_dict_free(&opts);
    Check(opened, (std::string("cannot open the encoder ") + info.Encoder).c_str());
    return c;
}

TFrame MakeFrame(const AVCodecContext& c) {
    TFrame f(av_frame_alloc());
    if (!f) throw EKivError("out of memory");
    f->format = c.pix_fmt;
    f->width = c.width;
    f->height = c.height;
    Check(av_frame_get_buffer(f.get(), 0), "cannot allocate a frame");
    return f;
}

// Encoding common to both outputs: packets go to `write`.
class TEncoding {
public:
    TEncoding(const TExportOptions& options, const TFormatInfo& info, const TOutputSize& size,
              int32_t width, int32_t height, TGifPalette* palette, bool globalHeader)
        : FContext(OpenEncoder(options, info, size, globalHeader)),
          FConverter(width, height, size, info.Pixels, palette), FFrame(MakeFrame(*FContext)),
          FPacket(av_packet_alloc()) {
        if (!FPacket) throw EKivError("out of memory");
    }
    AVCodecContext& Context() { return *FContext; }

    // False when the time falls on the last frame's tick (merged into it: what
    // changed is converted with the next one).
    template <class TWrite>
    bool Send(const TBitmap24& picture, int64_t ms, const TRect& changed, TWrite&& write) {
        FChanged = UnionRect(FChanged, changed);
        const int64_t pts = ms * FContext->time_base.den / 1000;
        if (FLastPts && pts <= *FLastPts) return false;
        // Made writable, a frame the encoder still holds is copied first: it keeps
        // the last picture, and only what changed is converted.
        Check(av_frame_make_writable(FFrame.get()), "cannot write a frame");
        FConverter.Convert(picture, FChanged, *FFrame);
        FChanged = {};
        FFrame->pts = pts;
        FLastPts = pts;
        Check(avcodec_send_frame(FContext.get(), FFrame.get()), "encoding failed");
        Drain(write);
        return true;
    }
    // The last picture again at ms, so that it shows until then.
    template <class TWrite> void Repeat(int64_t ms, TWrite&& write) {
        const int64_t pts = ms * FContext->time_base.den / 1000;
        if (!FLastPts || pts <= *FLastPts) return;
        FFrame->pts = pts;
        FLastPts = pts;
        Check(avcodec_send_frame(FContext.get(), FFrame.get()), "encoding failed");
        Drain(write);
    }
    template <class TWrite> void Flush(TWrite&& write) {
        Check(avcodec_send_frame(FContext.get(), nullptr), "encoding failed");
        Drain(write);
    }

private:
    template <class TWrite> void Drain(TWrite&& write) {
        for (;;) {
            const int r = avcodec_receive_packet(FContext.get(), FPacket.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
            Check(r, "encoding failed");
            write(*FPacket);
            av_packet_unref(FPacket.get());
        }
    }

    TCodecContext FContext;
    TFrameConverter FConverter;
    TFrame FFrame;
    TPacket FPacket;
    std::optional<int64_t> FLastPts;
    TRect FChanged; // since the last picture converted
};

class TFileSink : public IFrameSink {
public:
    TFileSink(const TExportOptions& options, const TFormatInfo& info, const std::string& path,
              const std::string& nameForFormat, TOutputSize size, int32_t width, int32_t height,
              TGifPalette* palette) {
        const AVOutputFormat* format = av_guess_format(nullptr, nameForFormat.c_str(), nullptr);
        if (!format) format = av_guess_format(info.Muxer, nullptr, nullptr);
        if (!format) throw EKivError("no container for " + nameForFormat);
        AVFormatContext* raw = nullptr;
        Check(avformat_alloc_output_context2(&raw, format, nullptr, path.c_str()),
              "cannot make the container");
        FOutput.reset(raw);
        FEncoding.emplace(options, info, size, width, height, palette,
                          (format->flags & AVFMT_GLOBALHEADER) != 0);
        FFrameTicks = std::max<int64_t>(1, std::llround(info.TimeBase / options.Fps));
        FStream = avformat_new_stream(FOutput.get(), nullptr);
        if (!FStream) throw EKivError("out of memory");
        Check(avcodec_parameters_from_context(FStream->codecpar, &FEncoding->Context()),
              "cannot describe the stream");
        FStream->time_base = FEncoding->Context().time_base;
        FStream->avg_frame_rate = AVRational{0, 1}; // frames come when the picture changes
        Check(avio_open(&FOutput->pb, path.c_str(), AVIO_FLAG_WRITE),
              ("cannot write " + path).c_str());
        AVDictionary* opts = nullptr;
        if (info.Codec == TExportCodec::H264 &&
            std::string(format->name).find("mp4") != std::string::npos)
            av_dict_set(&opts, "movflags", "+faststart", 0);
        const int written = avformat_write_header(FOutput.get(), &opts);
        av_dict_free(&opts);
        Check(written, "cannot write the container's header");
    }

    void Write(const TBitmap24& picture, int64_t ms, const TRect& changed) override {
        FEncoding->Send(picture, ms, changed, [this](AVPacket& p) { Mux(p); });
    }

    void Finish(int64_t endMs) override {
        FEncoding->Repeat(endMs, [this](AVPacket& p) { Mux(p); });
        FEncoding->Flush([this](AVPacket& p) { Mux(p); });
        Check(av_write_trailer(FOutput.get()), "cannot finish the container");
        Check(avio_closep(&FOutput->pb), "cannot close the output");
    }

private:
    void Mux(AVPacket& p) {
        // Only the last packet's duration counts (the others follow from the
        // times): without one, an MP4's edit list would cut the last frame off.
        if (p.duration <= 0) p.duration = FFrameTicks;
        av_packet_rescale_ts(&p, FEncoding->Context().time_base, FStream->time_base);
        p.stream_index = FStream->index;
        Check(av_interleaved_write_frame(FOutput.get(), &p), "cannot write to the output");
    }

    TOutput FOutput; // after the encoding in destruction order: declared first
    std::optional<TEncoding> FEncoding;
    int64_t FFrameTicks = 1;     // one frame at the cap, in the encoder's time base
    AVStream* FStream = nullptr; // owned by FOutput
};

class TPngFolderSink : public IFrameSink {
public:
    TPngFolderSink(const TExportOptions& options, const TFormatInfo& info, std::string folder,
                   TOutputSize size, int32_t width, int32_t height)
        : FFolder(std::move(folder)),
          FEncoding(options, info, size, width, height, nullptr, false) {
        // Named by the packet's time: the time base is milliseconds.
        if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
    }

    void Write(const TBitmap24& picture, int64_t ms, const TRect& changed) override {
        FEncoding.Send(picture, ms, changed, [this](AVPacket& p) { Save(p); });
    }
    void Finish(int64_t) override {
        FEncoding.Flush([this](AVPacket& p) { Save(p); });
    }

private:
    void Save(const AVPacket& p) {
        char name[48];
        std::snprintf(name, sizeof name, "%06llu_%09lld.png",
                      static_cast<unsigned long long>(FIndex++), static_cast<long long>(p.pts));
        const std::string path = FFolder + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) throw EKivError("cannot write " + path);
        const bool ok =
            std::fwrite(p.data, 1, static_cast<size_t>(p.size), f) == static_cast<size_t>(p.size);
        if (std::fclose(f) != 0 || !ok) throw EKivError("cannot write " + path);
    }

    std::string FFolder;
    TEncoding FEncoding;
    uint64_t FIndex = 0;
};

} // namespace

TOutputSize OutputSize(const TExportOptions& options, TExportCodec codec, int32_t width,
                       int32_t height) {
    TOutputSize s{width, height, width, height};
    if (options.Width > 0 || options.Height > 0) {
        s.Width = options.Width;
        s.Height = options.Height;
        // One side given: the other keeps the picture's proportions.
        if (!s.Width)
            s.Width = static_cast<int32_t>(std::lround(double(width) * s.Height / height));
        if (!s.Height)
            s.Height = static_cast<int32_t>(std::lround(double(height) * s.Width / width));
    } else if (options.Scale > 0) {
        s.Width = static_cast<int32_t>(std::lround(width * options.Scale));
        s.Height = static_cast<int32_t>(std::lround(height * options.Scale));
    }
    s.Width = std::clamp(s.Width, 1, 8192);
    s.Height = std::clamp(s.Height, 1, 8192);
    s.FrameWidth = s.Width;
    s.FrameHeight = s.Height;
    if (FormatInfo(codec).EvenSides) {
        s.FrameWidth = Even(s.Width);
        s.FrameHeight = Even(s.Height);
    }
    return s;
}

std::unique_ptr<IFrameSink> MakeSink(const TExportOptions& options, TExportCodec codec,
                                     const std::string& path, int32_t width, int32_t height,
                                     const TGifPalette* palette) {
    const TFormatInfo& info = FormatInfo(codec);
    const TOutputSize size = OutputSize(options, codec, width, height);
    if (codec == TExportCodec::Png)
        return std::make_unique<TPngFolderSink>(options, info, path, size, width, height);
    static thread_local TGifPalette empty;
    auto* p = const_cast<TGifPalette*>(palette ? palette : &empty);
    return std::make_unique<TFileSink>(options, info, path, options.Output, size, width, height, p);
}

} // namespace kiv::exporting
