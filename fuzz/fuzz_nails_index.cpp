// Arbitrary bytes as a thumbnail index: every line's picture and time, the
// strip's selection and the hand-over block of each path.
#include "nails/nail_block.h"
#include "nails/nails_index.h"
#include "platform/error.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const kiv::TNailsIndex index(std::string(reinterpret_cast<const char*>(data), size));
        for (uint64_t i = 0; i < index.Count(); ++i) {
            if (index.Line(i).size() < index.TimeText(i).size()) __builtin_trap();
            const std::string name(index.FileName(i));
            try {
                const int32_t seconds = index.Seconds(i);
                if (seconds < 0) __builtin_trap();
                kiv::TNailBlock block = kiv::MakeNailBlock("/f/nails/" + name, uint32_t(seconds));
                if (block) {
                    std::string path;
                    uint32_t back = 0;
                    kiv::ReadNailBlock(block.get(), path, back);
                    if (back != uint32_t(seconds) || path != "/f/nails/" + name) __builtin_trap();
                }
            } catch (const kiv::EKivError&) {
            }
            index.Blank(i);
        }
        const auto picks = kiv::SelectNailLines(index.Count());
        for (size_t i = 0; i < picks.size(); ++i)
            if (picks[i] >= index.Count() || (i > 0 && picks[i] < picks[i - 1])) __builtin_trap();
        if (picks.size() > kiv::kMaxNailsShown) __builtin_trap();
    } catch (const kiv::EKivError&) {
        // Larger than the limit.
    }
    return 0;
}
