// Arbitrary bytes as a live sample stream, appended in pieces.
#include "format/record_cutter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t piece = 1 + data[0] % 200;
    kiv::TRecordCutter cutter(64);
    for (size_t pos = 1; pos < size; pos += piece) {
        size_t n = pos + piece <= size ? piece : size - pos;
        if (!cutter.Append(data + pos, n)) return 0;
        kiv::TSampleBlock record;
        for (;;) {
            auto cut = cutter.Next(record);
            if (cut == kiv::TRecordCutter::TCut::Damaged) return 0;
            if (cut == kiv::TRecordCutter::TCut::NeedMore) break;
        }
    }
    return 0;
}
