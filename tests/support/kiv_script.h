// Recordings for playback tests: samples that paint solid rectangles, written with
// TRecordingWriter, and the picture they should leave.
#pragma once

#include "format/kiv_format.h"
#include "platform/bitmap24.h"
#include "support/bmp_images.h"
#include "synth/recording_writer.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kiv::test {

// A folder that is removed with everything in it.
class TScriptDir {
public:
    TScriptDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivtest-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data())) Path = made;
    }
    ~TScriptDir() {
        std::error_code ec;
        if (!Path.empty()) std::filesystem::remove_all(Path, ec);
    }
    TScriptDir(const TScriptDir&) = delete;
    TScriptDir& operator=(const TScriptDir&) = delete;

    std::string File(const std::string& name) const { return Path + "/" + name; }

    std::string Path;
};

struct TScriptSample {
    TSampleHeader Header{};
    std::vector<uint8_t> Payload;
    TRect Paints; // what a picture sample covers; empty for the others
    TColorRef Color = 0;
};

class TScript {
public:
    TScript(uint16_t width, uint16_t height) : Width(width), Height(height) {}

    TScript& Key(uint32_t time, TColorRef color) {
        return Region(time, skKeyFrame, {0, 0, Width, Height}, color);
    }
    // A solid rectangle, raw 24-bit.
    TScript& Region(uint32_t time, int16_t kind, TRect r, TColorRef color, uint16_t mouseX = 0,
                    uint16_t mouseY = 0) {
        TScriptSample s;
        s.Header = Head(time, kind, static_cast<uint16_t>(r.Left), static_cast<uint16_t>(r.Top));
        s.Header.MouseX = mouseX;
        s.Header.MouseY = mouseY;
        s.Payload = SolidBmp(r.Right - r.Left, r.Bottom - r.Top, color);
        s.Paints = r;
        s.Color = color;
        Samples.push_back(std::move(s));
        return *this;
    }
    TScript& Marker(uint32_t time) { return Other(time, skMarker, 0, 0, ckRaw, {}); }
    // A pointer move, with a new shape when one is given.
    TScript& Pointer(uint32_t time, uint16_t x, uint16_t y, std::vector<uint8_t> shape = {}) {
        return Other(time, skPointer, x, y, ckRaw, std::move(shape));
    }
    // Any payload, drawing nothing the expected picture knows of.
    TScript& Other(uint32_t time, int16_t kind, uint16_t left, uint16_t top, uint16_t compression,
                   std::vector<uint8_t> payload) {
        TScriptSample s;
        s.Header = Head(time, kind, left, top);
        s.Header.Compression = compression;
        s.Payload = std::move(payload);
        Samples.push_back(std::move(s));
        return *this;
    }

    void Write(const std::string& path) const {
        synth::TRecordingWriter w(path, Width, Height);
        for (const auto& s : Samples)
            w.AddSample(s.Header, s.Payload);
        w.Finish();
    }

    // The record of sample i, as the reading thread buffers it.
    TSampleBlock Block(size_t i) const {
        const auto& s = Samples.at(i);
        TSampleHeader h = s.Header;
        h.Length = static_cast<uint32_t>(s.Payload.size());
        TSampleBlock b(new uint8_t[kSampleHeaderSize + s.Payload.size()]);
        StoreSampleHeader(h, b.get());
        if (!s.Payload.empty())
            std::copy(s.Payload.begin(), s.Payload.end(), b.get() + kSampleHeaderSize);
        return b;
    }

    size_t IndexOf(uint32_t time) const {
        for (size_t i = 0; i < Samples.size(); ++i)
            if (Samples[i].Header.TimeStamp == time) return i;
        return Samples.size();
    }

    // The picture once samples 0 to last have been drawn in order, without the pointer.
    TBitmap24 Expected(size_t last) const {
        TBitmap24 pic;
        pic.Create(Width, Height);
        for (size_t i = 0; i <= last && i < Samples.size(); ++i) {
            const auto& s = Samples[i];
            if (s.Paints.IsEmpty()) continue;
            if (s.Header.Kind == skDifference) {
                for (int32_t y = s.Paints.Top; y < s.Paints.Bottom; ++y)
                    for (int32_t x = s.Paints.Left; x < s.Paints.Right; ++x)
                        pic.SetPixel(x, y, pic.Pixel(x, y) ^ s.Color);
            } else {
                pic.Fill(s.Paints, s.Color);
            }
        }
        return pic;
    }

    uint16_t Width, Height;
    std::vector<TScriptSample> Samples;

private:
    static TSampleHeader Head(uint32_t time, int16_t kind, uint16_t left, uint16_t top) {
        TSampleHeader h{};
        h.TimeStamp = time;
        h.Kind = kind;
        h.Left = left;
        h.Top = top;
        return h;
    }
};

inline TColorRef KeyColor(uint32_t keyTime) {
    return MakeColor(30, 60, static_cast<uint8_t>(90 + keyTime / 1000 * 30));
}
inline TColorRef ColumnColor(uint32_t time) {
    const auto k = static_cast<uint8_t>(time / 100 % 50);
    return MakeColor(static_cast<uint8_t>(10 + 5 * k), 200, static_cast<uint8_t>(250 - 5 * k));
}

// A key frame at keyTime and nine samples 100 ms apart after it; the one at keyTime + 100 * i
// paints column x0 + i, top to bottom. `instead` may put a sample of its own at a time
// (returning true) in place of the column.
using TInstead = std::function<bool(TScript&, uint32_t time)>;
inline void AddColumnSegment(TScript& s, uint32_t keyTime, int32_t x0,
                             const TInstead& instead = {}) {
    s.Key(keyTime, KeyColor(keyTime));
    for (int32_t i = 1; i <= 9; ++i) {
        const uint32_t t = keyTime + 100 * static_cast<uint32_t>(i);
        if (instead && instead(s, t)) continue;
        s.Region(t, skReplacement, {x0 + i, 0, x0 + i + 1, s.Height}, ColumnColor(t));
    }
}

// (10 x segments + 2) x 8 pixels, a segment every 1000 ms: the sample at t paints column
// t / 100, and its index is t / 100.
inline TScript ColumnScript(int segments = 2, const TInstead& instead = {}) {
    TScript s(static_cast<uint16_t>(10 * segments + 2), 8);
    for (int k = 0; k < segments; ++k)
        AddColumnSegment(s, static_cast<uint32_t>(1000 * k), 10 * k, instead);
    return s;
}

} // namespace kiv::test
