// Helpers shared by the decoder tests.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace kiv::test {

inline std::string TestDataPath(const std::string& relative) {
    return std::string(KIV_TESTDATA_DIR) + "/" + relative;
}

// The file's bytes; empty when it cannot be read.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text of the EKivError that `f` raises, or a marker when it raises none.
template <class F> std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const EKivError& e) {
        return e.what();
    }
    return "<no error>";
}

struct TRgb {
    uint8_t R, G, B;
};

// A baseline colour JPEG of the picture, written by libjpeg; quality 100 without chroma
// subsampling keeps it close to the input.
inline std::vector<uint8_t> MakeJpeg(uint32_t width, uint32_t height,
                                     const std::function<TRgb(uint32_t x, uint32_t y)>& pixel) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t{width} * 3);
    while (cinfo.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x) {
            const TRgb p = pixel(x, cinfo.next_scanline);
            row[x * 3] = p.R;
            row[x * 3 + 1] = p.G;
            row[x * 3 + 2] = p.B;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> result(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return result;
}

} // namespace kiv::test
