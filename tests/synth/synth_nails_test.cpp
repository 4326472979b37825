#include "nails/nails_index.h"
#include "support/nginx.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

namespace kiv::synth {
namespace {

// The picture of a JPEG file as an image viewer shows it, top row first.
TPicture DecodeJpegFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    TPicture pic(int32_t(info.output_width), int32_t(info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pic.Row(int32_t(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pic;
}

double MeanDifference(const TPicture& a, const TPicture& b) {
    uint64_t sum = 0;
    for (size_t i = 0; i < a.Bytes().size(); ++i)
        sum += uint64_t(std::abs(int(a.Bytes()[i]) - int(b.Bytes()[i])));
    return double(sum) / double(a.Bytes().size());
}

int Synth(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return SynthCommand(int(argv.size()), argv.data(), kDefaultSynthNails);
}

} // namespace

TEST(SynthNails, PicturesOfEvenlySpreadMomentsBesideTheRecording) {
    test::TTempDir dir;
    TSynthOptions o;
    o.Seconds = 4;
    o.Width = 640;
    o.Height = 360;
    o.Seed = 3;
    const std::string index = WriteSynthNails(dir.File("rec.kiv"), o, 4000, 5);
    EXPECT_EQ(index, dir.File("nails.xml"));
    const TNailsIndex read = TNailsIndex::LoadFromFile(index);
    ASSERT_EQ(read.Count(), 5u);
    for (uint64_t i = 0; i < read.Count(); ++i) {
        SCOPED_TRACE(i);
        const uint32_t ms = uint32_t(i * 800);
        EXPECT_EQ(read.TimeText(i), std::to_string(ms));
        EXPECT_EQ(read.Seconds(i), int32_t(ms / 1000));
        const TPicture pic = DecodeJpegFile(dir.File("nails/" + std::string(read.FileName(i))));
        ASSERT_EQ(pic.Width(), kSynthNailWidth);
        ASSERT_EQ(pic.Height(), kSynthNailWidth * 360 / 640);
        // Upright and of that moment: close to the screen then, shrunk.
        const TPicture screen = Shrink(RenderScreen(640, 360, 3, ms), pic.Width(), pic.Height());
        EXPECT_LT(MeanDifference(pic, screen), 6.0);
        TPicture flipped(pic.Width(), pic.Height());
        for (int32_t y = 0; y < pic.Height(); ++y)
            std::copy_n(screen.Row(pic.Height() - 1 - y), screen.Stride(), flipped.Row(y));
        EXPECT_GT(MeanDifference(pic, flipped), MeanDifference(pic, screen) * 2);
    }
    const std::string text = [&] {
        std::ifstream in(index, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(text.substr(0, 16), "0=nail0000.jpg\r\n");
}

TEST(SynthNails, HowManyTheCommandWrites) {
    struct TCase {
        std::vector<std::string> Extra;
        int Exit;
        uint64_t Lines; // 0: no index
    } cases[] = {
        {{}, 0, kDefaultSynthNails}, {{"--nails", "3"}, 0, 3},  {{"--nails", "0"}, 0, 0},
        {{"--nails", "1001"}, 2, 0}, {{"--nails", "-1"}, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Extra.empty() ? "default" : c.Extra[1]);
        test::TTempDir dir;
        std::vector<std::string> args = {
            "kivtool synth", dir.File("r.kiv"), "--seconds", "2", "--width",
            "320",           "--height",        "240"};
        args.insert(args.end(), c.Extra.begin(), c.Extra.end());
        EXPECT_EQ(Synth(args), c.Exit);
        const bool written = std::filesystem::exists(dir.File("nails.xml"));
        EXPECT_EQ(written, c.Lines > 0);
        if (written) {
            EXPECT_EQ(TNailsIndex::LoadFromFile(dir.File("nails.xml")).Count(), c.Lines);
            EXPECT_EQ(uint64_t(std::distance(std::filesystem::directory_iterator(dir.File("nails")),
                                             std::filesystem::directory_iterator())),
                      c.Lines);
        }
    }
}

} // namespace kiv::synth
