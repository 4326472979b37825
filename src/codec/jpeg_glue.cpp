// libjpeg reports fatal errors through a callback that must not return, so they come back
// here by longjmp. The functions that call setjmp keep only trivially destructible objects
// alive across it: everything libjpeg touches lives in one plain TSession.
#include "codec/jpeg_glue.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace kiv {

namespace {

constexpr size_t kReadChunk = 4096;

struct TErrorManager {
    jpeg_error_mgr Pub; // first: libjpeg hands back a pointer to it
    std::jmp_buf Jump;
};

struct TSourceManager {
    jpeg_source_mgr Pub; // first: libjpeg hands back a pointer to it
    const uint8_t* Data;
    size_t Size;
    size_t Position;
    JOCTET Buffer[2]; // the end-of-image marker for a payload cut short
};

struct TSession {
    jpeg_decompress_struct Info;
    TErrorManager Error;
    TSourceManager Source;
    jpeg_progress_mgr Progress;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TErrorManager*>(cinfo->err)->Jump, 1);
}
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) {
    buffer[0] = '\0';
}
void ResetErrorManager(j_common_ptr cinfo) {
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<TSourceManager*>(cinfo->src);
    size_t n = std::min(kReadChunk, src->Size - src->Position);
    if (n > 0) {
        // The payload is already in memory: hand out views of it, not copies.
        src->Pub.next_input_byte = src->Data + src->Position;
        src->Pub.bytes_in_buffer = n;
        src->Position += n;
        return TRUE;
    } else {
        // A payload cut short ends the image instead of failing it.
        src->Buffer[0] = 0xFF;
        src->Buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->Pub.next_input_byte = src->Buffer;
    src->Pub.bytes_in_buffer = n;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    auto remaining = static_cast<size_t>(count);
    while (remaining > src->bytes_in_buffer) {
        remaining -= src->bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src->next_input_byte += remaining;
    src->bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

// A crafted progressive stream can carry thousands of scans, each a pass over the
// whole picture; real encoders write a dozen at most.
constexpr int kMaxScans = 1000;

void ProgressMonitor(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        ErrorExit(cinfo);
}

// Fills in the managers; the decompression object itself is created by the caller, after
// its setjmp. The session must be zeroed first, so that destroying a half-made object is
// harmless.
void PrepareSession(TSession& s, const TScratchStream& stream) {
    jpeg_std_error(&s.Error.Pub);
    s.Error.Pub.error_exit = ErrorExit;
    s.Error.Pub.emit_message = EmitMessage;
    s.Error.Pub.output_message = OutputMessage;
    s.Error.Pub.format_message = FormatMessage;
    s.Error.Pub.reset_error_mgr = ResetErrorManager;
    s.Info.err = &s.Error.Pub;

    s.Source.Pub.init_source = InitSource;
    s.Source.Pub.fill_input_buffer = FillInputBuffer;
    s.Source.Pub.skip_input_data = SkipInputData;
    s.Source.Pub.resync_to_restart = jpeg_resync_to_restart;
    s.Source.Pub.term_source = TermSource;
    s.Source.Pub.next_input_byte = nullptr;
    s.Source.Pub.bytes_in_buffer = 0;
    s.Source.Data = stream.Data();
    s.Source.Size = stream.Size();
    s.Source.Position = 0;

    s.Progress.progress_monitor = ProgressMonitor;
}

// Creating the object clears it, so the source and progress managers are attached after.
void CreateDecompressor(TSession& s) {
    jpeg_create_decompress(&s.Info);
    s.Info.src = &s.Source.Pub;
    s.Info.progress = &s.Progress;
}

TJpegFrameInfo FrameInfo(uint32_t width, uint32_t height) {
    TJpegFrameInfo frame;
    frame.Width = width;
    frame.Height = height;
    frame.RowSize = BitmapRowSize(width);
    frame.ImageSize = frame.RowSize * height;
    return frame;
}

} // namespace

void StoreBitmapInfoHeader(const TJpegFrameInfo& frame, uint8_t* p) {
    std::memset(p, 0, kBitmapInfoHeaderSize);
    StoreLE32(p + 0, kBitmapInfoHeaderSize);
    StoreLE32(p + 4, frame.Width);
    StoreLE32(p + 8, frame.Height);
    StoreLE16(p + 12, 1);
    StoreLE16(p + 14, 24);
    StoreLE32(p + 20, static_cast<uint32_t>(frame.ImageSize));
}

bool ReadJpegHeader(TJpegFrameInfo& frame, const TScratchStream& stream) {
    TSession s{};
    PrepareSession(s, stream);
    if (setjmp(s.Error.Jump) != 0) {
        jpeg_destroy_decompress(&s.Info);
        return false;
    }
    CreateDecompressor(s);
    const bool ok = jpeg_read_header(&s.Info, TRUE) == JPEG_HEADER_OK;
    if (ok) frame = FrameInfo(s.Info.image_width, s.Info.image_height);
    jpeg_destroy_decompress(&s.Info);
    return ok;
}

bool DecodeJpeg(const TScratchStream& stream, uint8_t* lastRow, const TJpegFrameInfo& frame) {
    TSession s{};
    PrepareSession(s, stream);
    if (setjmp(s.Error.Jump) != 0) {
        jpeg_destroy_decompress(&s.Info);
        return false;
    }
    CreateDecompressor(s);
    // Only three-component colour delivers the 3 bytes per pixel the rows have room for.
    if (jpeg_read_header(&s.Info, TRUE) != JPEG_HEADER_OK || s.Info.num_components != 3) {
        jpeg_destroy_decompress(&s.Info);
        return false;
    }
    s.Info.scale_num = 1;
    s.Info.scale_denom = 1;
    s.Info.dct_method = JDCT_IFAST;
    s.Info.do_block_smoothing = TRUE;
    s.Info.quantize_colors = FALSE;
    s.Info.two_pass_quantize = FALSE;
    s.Info.enable_1pass_quant = FALSE;
    s.Info.enable_2pass_quant = FALSE;
    s.Info.dither_mode = JDITHER_ORDERED;
    s.Info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&s.Info);
    if (s.Info.output_components != 3 || s.Info.output_width != frame.Width ||
        s.Info.output_height != frame.Height) {
        jpeg_destroy_decompress(&s.Info);
        return false;
    }
    // The stream holds the picture bottom row first: its first scanline is the last row.
    while (s.Info.output_scanline < s.Info.output_height) {
        JSAMPROW row = lastRow - frame.RowSize * s.Info.output_scanline;
        if (jpeg_read_scanlines(&s.Info, &row, 1) != 1) {
            jpeg_destroy_decompress(&s.Info);
            return false;
        }
    }
    jpeg_finish_decompress(&s.Info);
    jpeg_destroy_decompress(&s.Info);
    return true;
}

} // namespace kiv
