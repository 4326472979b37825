#include "export/export_formats.h"

#include "platform/parse.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kiv {
namespace {

using exporting::TFormatInfo;

constexpr TFormatInfo kFormats[] = {
    {TExportCodec::H264, "h264", "libx264", "mp4", AV_PIX_FMT_YUV420P, true, 1000},
    {TExportCodec::Vp9, "vp9", "libvpx-vp9", "webm", AV_PIX_FMT_YUV420P, true, 1000},
    {TExportCodec::Ffv1, "ffv1", "ffv1", "matroska", AV_PIX_FMT_BGR0, false, 1000},
    {TExportCodec::Gif, "gif", "gif", "gif", AV_PIX_FMT_PAL8, false, 100},
    {TExportCodec::Png, "png", "png", nullptr, AV_PIX_FMT_RGB24, false, 1000},
};

struct TExtension {
    const char* Ext;
    TExportCodec Codec;
};
constexpr TExtension kExtensions[] = {
    {".mp4", TExportCodec::H264}, {".m4v", TExportCodec::H264}, {".mov", TExportCodec::H264},
    {".webm", TExportCodec::Vp9}, {".mkv", TExportCodec::Ffv1}, {".gif", TExportCodec::Gif},
};

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseClock(const std::string& text, uint32_t& ms) {
    // [hh:]mm:ss[.mmm]
    uint64_t parts[3] = {}, fraction = 0;
    int count = 0;
    size_t at = 0;
    std::string rest = text;
    const size_t dot = rest.find('.');
    if (dot != std::string::npos) {
        std::string f = rest.substr(dot + 1);
        if (f.empty() || f.size() > 3 || !ParseDecimal(f, 999, fraction)) return false;
        for (size_t i = f.size(); i < 3; ++i)
            fraction *= 10;
        rest.resize(dot);
    }
    while (count < 3) {
        const size_t colon = rest.find(':', at);
        const std::string part = rest.substr(at, colon == std::string::npos ? colon : colon - at);
        if (!ParseDecimal(part, 1000000, parts[count++])) return false;
        if (colon == std::string::npos) break;
        at = colon + 1;
        if (count == 3) return false;
    }
    if (count < 2) return false;
    uint64_t seconds = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && parts[i] >= 60) return false;
        seconds = seconds * 60 + parts[i];
    }
    const uint64_t total = seconds * 1000 + fraction;
    if (total > 0x7FFFFFFF) return false;
    ms = static_cast<uint32_t>(total);
    return true;
}

} // namespace

namespace exporting {
const TFormatInfo& FormatInfo(TExportCodec codec) {
    const auto* f = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const TFormatInfo& x) { return x.Codec == codec; });
    return f != std::end(kFormats) ? *f : kFormats[0];
}
} // namespace exporting

bool ParseExportTime(const std::string& text, TExportTime& out) {
    out = {};
    if (text.rfind("marker:", 0) == 0) {
        const std::string what = text.substr(7);
        uint64_t n = 0;
        if (ParseDecimal(what, 1000000, n) && n >= 1) {
            out.Kind = TExportTime::TKind::MarkerIndex;
            out.Ms = static_cast<uint32_t>(n);
        } else if (!what.empty()) {
            out.Kind = TExportTime::TKind::MarkerText;
            out.Text = what;
        } else {
            return false;
        }
        return true;
    }
    uint64_t ms = 0;
    if (ParseDecimal(text, 0x7FFFFFFF, ms)) {
        out.Ms = static_cast<uint32_t>(ms);
    } else if (!ParseClock(text, out.Ms)) {
        return false;
    }
    out.Kind = TExportTime::TKind::Ms;
    return true;
}

TExportCodec CodecForOutput(const std::string& output) {
    if (!output.empty() && output.back() == '/') return TExportCodec::Png;
    std::error_code ec;
    if (std::filesystem::is_directory(output, ec)) return TExportCodec::Png;
    const std::string ext = Lower(std::filesystem::path(output).extension().string());
    for (const auto& e : kExtensions)
        if (ext == e.Ext) return e.Codec;
    return TExportCodec::Auto;
}

bool ParseExportCodec(const std::string& name, TExportCodec& out) {
    const std::string n = Lower(name);
    for (const auto& f : kFormats)
        if (n == f.Name || (n == "x264" && f.Codec == TExportCodec::H264)) {
            out = f.Codec;
            return true;
        }
    return false;
}

const char* ExportCodecName(TExportCodec codec) {
    return codec == TExportCodec::Auto ? "auto" : exporting::FormatInfo(codec).Name;
}

} // namespace kiv
