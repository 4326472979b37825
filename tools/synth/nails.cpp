#include "synth/synth.h"

#include "platform/error.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kiv::synth {

namespace {

void WriteFile(const std::filesystem::path& path, const void* bytes, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), std::streamsize(size));
    if (!out.flush()) throw EKivError("Cannot write " + path.string());
}

} // namespace

std::string WriteSynthNails(const std::string& recordingPath, const TSynthOptions& options,
                            uint32_t durationMs, uint32_t count) {
    const std::filesystem::path folder = std::filesystem::absolute(recordingPath).parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder / "nails", ec);
    if (ec) throw EKivError("Cannot create " + (folder / "nails").string() + ": " + ec.message());

    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < count; ++i)
        times.push_back(uint32_t(uint64_t(durationMs) * i / count));
    const int32_t height =
        std::max<int32_t>(1, kSynthNailWidth * int32_t(options.Height) / int32_t(options.Width));
    std::string index;
    const auto screens = RenderScreens(options.Width, options.Height, options.Seed, times);
    for (uint32_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "nail%04u.jpg", i);
        const auto jpeg = EncodeJpegFile(Shrink(screens[i], kSynthNailWidth, height), 75);
        WriteFile(folder / "nails" / name, jpeg.data(), jpeg.size());
        index += std::to_string(times[i]) + "=" + name + "\r\n";
    }
    const std::filesystem::path indexPath = folder / "nails.xml";
    WriteFile(indexPath, index.data(), index.size());
    return indexPath.string();
}

} // namespace kiv::synth
