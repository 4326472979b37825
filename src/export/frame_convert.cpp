#include "export/frame_convert.h"

#include "export/gif_palette.h"
#include "platform/error.h"

#include <cstring>

namespace kiv::exporting {
namespace {

// One filter for every format, so a size looks the same whichever is chosen.
constexpr int kScaleFlags = SWS_LANCZOS | SWS_ACCURATE_RND;

} // namespace

void ConvertToYuv420(const TBitmap24& picture, const TRect& r, AVFrame& frame) {
    const auto at = [](const AVFrame& f, int plane, int32_t x, int32_t y) {
        return f.data[plane] + static_cast<ptrdiff_t>(y) * f.linesize[plane] + x;
    };
    for (int32_t y = r.Top; y < r.Bottom; y += 2) {
        const uint8_t* rows[2] = {picture.Row(y) + static_cast<size_t>(r.Left) * 3,
                                  picture.Row(y + 1) + static_cast<size_t>(r.Left) * 3};
        uint8_t* luma[2] = {at(frame, 0, r.Left, y), at(frame, 0, r.Left, y + 1)};
        uint8_t* u = at(frame, 1, r.Left / 2, y / 2);
        uint8_t* v = at(frame, 2, r.Left / 2, y / 2);
        for (int32_t x = 0, n = static_cast<int32_t>(r.Width()); x < n; x += 2) {
            int32_t b = 0, g = 0, red = 0;
            for (int row = 0; row < 2; ++row)
                for (int32_t i = x; i < x + 2; ++i) {
                    const uint8_t* s = rows[row] + i * 3;
                    luma[row][i] = static_cast<uint8_t>(
                        ((66 * s[2] + 129 * s[1] + 25 * s[0] + 128) >> 8) + 16);
                    b += s[0];
                    g += s[1];
                    red += s[2];
                }
            // Sums of four: the mean's rounding folds into the shift.
            u[x / 2] = static_cast<uint8_t>(((-38 * red - 74 * g + 112 * b + 512) >> 10) + 128);
            v[x / 2] = static_cast<uint8_t>(((112 * red - 94 * g - 18 * b + 512) >> 10) + 128);
        }
    }
}

TFrameConverter::TFrameConverter(int32_t sourceWidth, int32_t sourceHeight, TOutputSize size,
                                 AVPixelFormat format, TGifPalette* palette)
    : FSourceHeight(sourceHeight), FSize(size), FFormat(format), FPalette(palette) {
    if (format != AV_PIX_FMT_YUV420P && format != AV_PIX_FMT_BGR0 && format != AV_PIX_FMT_RGB24 &&
        format != AV_PIX_FMT_PAL8)
        throw EKivError("the picture cannot be converted for the codec");
    const bool scaled = size.Width != sourceWidth || size.Height != sourceHeight;
    const bool padded = size.FrameWidth != size.Width || size.FrameHeight != size.Height;
    if (scaled || padded) {
        if (!FStaging.Create(size.FrameWidth, size.FrameHeight))
            throw EKivError("the export size is too large");
    }
    if (scaled) {
        FScale.reset(sws_getContext(sourceWidth, sourceHeight, AV_PIX_FMT_BGR24, size.Width,
                                    size.Height, AV_PIX_FMT_BGR24, kScaleFlags, nullptr, nullptr,
                                    nullptr));
        if (!FScale) throw EKivError("the picture cannot be scaled to that size");
    }
}

const TBitmap24& TFrameConverter::Prepared(const TBitmap24& picture, TRect& changed) {
    if (FStaging.IsEmpty()) return picture;
    const int32_t w = FSize.Width, h = FSize.Height;
    if (FScale) {
        const uint8_t* src[4] = {picture.Bits()};
        const int srcStride[4] = {static_cast<int>(picture.Stride())};
        uint8_t* dst[4] = {FStaging.Bits()};
        const int dstStride[4] = {static_cast<int>(FStaging.Stride())};
        sws_scale(FScale.get(), src, srcStride, 0, FSourceHeight, dst, dstStride);
        changed = {0, 0, w, h};
    } else {
        changed = ClipRect(changed, w, h);
        for (int32_t y = changed.Top; y < changed.Bottom; ++y)
            std::memcpy(FStaging.Row(y) + static_cast<size_t>(changed.Left) * 3,
                        picture.Row(y) + static_cast<size_t>(changed.Left) * 3,
                        static_cast<size_t>(changed.Width()) * 3);
    }
    if (changed.IsEmpty()) return FStaging;
    // The padding repeats the edge: no stretch, no seam.
    if (changed.Right == w) {
        for (int32_t y = changed.Top; y < changed.Bottom; ++y)
            for (int32_t x = w; x < FSize.FrameWidth; ++x)
                std::memcpy(FStaging.Row(y) + x * 3, FStaging.Row(y) + (w - 1) * 3, 3);
        changed.Right = FSize.FrameWidth;
    }
    if (changed.Bottom == h) {
        for (int32_t y = h; y < FSize.FrameHeight; ++y)
            std::memcpy(FStaging.Row(y), FStaging.Row(h - 1),
                        static_cast<size_t>(FSize.FrameWidth) * 3);
        changed.Bottom = FSize.FrameHeight;
    }
    return FStaging;
}

void TFrameConverter::Convert(const TBitmap24& picture, const TRect& changed, AVFrame& frame) {
    TRect r = FFilled ? changed : picture.Bounds();
    const TBitmap24& p = Prepared(picture, r);
    FFilled = true;
    r = ClipRect(r, FSize.FrameWidth, FSize.FrameHeight);
    if (FFormat == AV_PIX_FMT_YUV420P) {
        // Whole 2 x 2 blocks (the frame's sides are even).
        r = ClipRect({r.Left & ~1, r.Top & ~1, r.Right + (r.Right & 1), r.Bottom + (r.Bottom & 1)},
                     FSize.FrameWidth, FSize.FrameHeight);
    }
    if (!r.IsEmpty()) ConvertRect(p, r, frame);
    if (FFormat == AV_PIX_FMT_PAL8) {
        auto* pal = reinterpret_cast<uint32_t*>(frame.data[1]);
        for (int i = 0; i < 256; ++i)
            pal[i] =
                0xFF000000u | (i < FPalette->Count ? FPalette->Colors[static_cast<size_t>(i)] : 0);
    }
}

void TFrameConverter::ConvertRect(const TBitmap24& p, const TRect& r, AVFrame& frame) {
    if (FFormat == AV_PIX_FMT_YUV420P) {
        ConvertToYuv420(p, r, frame);
        return;
    }
    const int32_t width = static_cast<int32_t>(r.Width());
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        const uint8_t* s = p.Row(y) + static_cast<size_t>(r.Left) * 3;
        uint8_t* d = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
        switch (FFormat) {
        case AV_PIX_FMT_BGR0:
            d += static_cast<ptrdiff_t>(r.Left) * 4;
            for (int32_t x = 0; x < width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 0;
            }
            break;
        case AV_PIX_FMT_RGB24:
            d += static_cast<ptrdiff_t>(r.Left) * 3;
            for (int32_t x = 0; x < width; ++x, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
            break;
        default: // PAL8
            d += r.Left;
            for (int32_t x = 0; x < width; ++x, s += 3)
                *d++ = FPalette->IndexOf(s[0], s[1], s[2]);
            break;
        }
    }
}

} // namespace kiv::exporting
