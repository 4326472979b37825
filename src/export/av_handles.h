// RAII for the FFmpeg contexts the exporter holds, and FFmpeg's error texts.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace kiv::exporting {

struct TCodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TSwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
// An output context with its file: the file is closed before the context goes.
struct TOutputFree {
    void operator()(AVFormatContext* f) const {
        if (f->pb && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

using TCodecContext = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFrame = std::unique_ptr<AVFrame, TFrameFree>;
using TPacket = std::unique_ptr<AVPacket, TPacketFree>;
using TSws = std::unique_ptr<SwsContext, TSwsFree>;
using TOutput = std::unique_ptr<AVFormatContext, TOutputFree>;

inline std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Raises EKivError "what: FFmpeg's text" when code is negative.
void Check(int code, const char* what);

} // namespace kiv::exporting
