// Arbitrary bytes as a recording: open it, then walk its sample area, read in
// pieces of a size the input chooses. The same bytes as a file, read through the
// reading thread as kivtool dump and verify read them, must give the same records
// and fail exactly when the walk does (a damaged record, or one that runs past the
// end of the sample area); every decoded picture then goes through verify's checks.
#include "codec/kivdecoder.h"
#include "control/picture_check.h"
#include "control/record_reader.h"
#include "format/recording_reader.h"
#include "platform/error.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string FilePath() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/kiv_fuzz_recording_" +
           std::to_string(getpid()) + ".kiv";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t piece = 1 + data[0] % 64;
    std::vector<uint8_t> bytes(data + 1, data + size);
    kiv::TMemoryStream stream(bytes, piece);
    kiv::TOpenedRecording r = kiv::OpenRecording(stream);
    if (r.Code != 0) return 0;
    kiv::TRecordingWalker walker(stream, r.Header);
    std::vector<std::vector<uint8_t>> walked;
    const bool complete = walker.Run([&](kiv::TSampleBlock block) {
        walked.emplace_back(block.get(), block.get() + kiv::SampleRecordSize(block.get()));
    });

    static const std::string path = FilePath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    static const bool initialised = InitDecoder();
    static const auto image = std::make_unique<uint8_t[]>(kiv::kDecodeBufferSize);
    (void)initialised;
    kiv::TRecordReader reader;
    if (reader.Open(path) != 0) std::abort(); // it opened from memory
    kiv::TPictureCheck pictures(reader.Header());
    size_t read = 0;
    while (const uint8_t* record = reader.Next()) {
        const uint64_t recordSize = kiv::SampleRecordSize(record);
        if (read >= walked.size() || walked[read].size() != recordSize ||
            !std::equal(walked[read].begin(), walked[read].end(), record))
            std::abort();
        ++read;
        const kiv::TSampleHeader h = kiv::ParseSampleHeader(record);
        try {
            if (UnZipBuffer(record + kiv::kSampleHeaderSize, h.Length,
                            static_cast<int16_t>(h.Compression), image.get(),
                            kiv::kDecodeBufferSize) > 0)
                pictures.Problem(h, image.get(), kiv::kDecodeBufferSize);
        } catch (const kiv::EKivError&) {
        }
    }
    if (read != walked.size() || complete != reader.Failure().empty()) std::abort();
    return 0;
}
