// Arbitrary bytes as a recording: open it, then walk its sample area, read in
// pieces of a size the input chooses.
#include "format/recording_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t piece = 1 + data[0] % 64;
    std::vector<uint8_t> bytes(data + 1, data + size);
    kiv::TMemoryStream stream(std::move(bytes), piece);
    kiv::TOpenedRecording r = kiv::OpenRecording(stream);
    if (r.Code != 0) return 0;
    kiv::TRecordingWalker walker(stream, r.Header);
    uint64_t total = 0;
    walker.Run([&](kiv::TSampleBlock block) { total += kiv::SampleRecordSize(block.get()); });
    return 0;
}
