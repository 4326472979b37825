// info, dump and verify: reading a recording front to back.
#include "commands.h"

#include "codec/kivdecoder.h"
#include "control/picture_check.h"
#include "control/record_reader.h"
#include "control/type_library.h"
#include "format/kiv_format.h"
#include "headless_host.h"
#include "platform/error.h"

#include <cstdio>
#include <memory>
#include <string>

namespace kivtool {
namespace {

using namespace kiv;

bool OneAddress(const TArgs& args, const char* command) {
    if (args.size() == 1) return true;
    std::fprintf(stderr, "usage: kivtool %s ADDRESS\n", command);
    return false;
}

// 0, or the open result code after printing the failure line.
int Open(TRecordReader& reader, const std::string& address) {
    const int code = reader.Open(address);
    if (code) std::fprintf(stderr, "%s\n", reader.Failure().c_str());
    return code;
}

} // namespace

int CmdInfo(const TArgs& args) {
    if (!OneAddress(args, "info")) return kUsageExit;
    THeadlessHost host;
    if (int code = host.Open(args[0])) return code;
    const TKivPlayerCore& core = host.Core();
    const TStatistics s = core.Statistics();
    // Live sources have no header: only the first key frame's size is known.
    std::printf("width: %u\nheight: %u\nduration: %u\nheader_position: %u\nindex_entries: %d\n",
                core.KivWidth(), core.KivHeight(), s.Live ? 0u : core.Duration(),
                s.Live ? 0u : s.HeaderPosition, s.Live ? 0 : s.IndexEntries);
    return 0;
}

int CmdDump(const TArgs& args) {
    if (!OneAddress(args, "dump")) return kUsageExit;
    TRecordReader reader;
    if (int code = Open(reader, args[0])) return code;
    std::string out;
    uint64_t index = 0;
    while (const uint8_t* block = reader.Next()) {
        TSampleHeader s = ParseSampleHeader(block);
        char line[160];
        int n = std::snprintf(line, sizeof line, "%llu,%u,%d,%u,%u,%u,%u,%u,%u\n",
                              static_cast<unsigned long long>(index++), s.TimeStamp, s.Kind,
                              s.Compression, s.Length, s.Left, s.Top, s.MouseX, s.MouseY);
        out.append(line, static_cast<size_t>(n));
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (reader.Failure().empty()) return 0;
    std::fprintf(stderr, "kivtool: stopped after %llu records: %s\n",
                 static_cast<unsigned long long>(index), reader.Failure().c_str());
    return 1;
}

int CmdVerify(const TArgs& args) {
    if (!OneAddress(args, "verify")) return kUsageExit;
    TRecordReader reader;
    if (int code = Open(reader, args[0])) return code;
    InitDecoder();
    auto image = std::make_unique_for_overwrite<uint8_t[]>(kDecodeBufferSize);
    TPictureCheck pictures(reader.Header());
    uint64_t records = 0, keyFrames = 0, bytes = 0, problems = 0;
    uint32_t lastTime = 0;
    auto problem = [&](uint64_t index, uint32_t time, const std::string& what) {
        ++problems;
        std::printf("problem: %llu,%u,%s\n", static_cast<unsigned long long>(index), time,
                    what.c_str());
    };
    while (const uint8_t* block = reader.Next()) {
        const uint64_t index = records++;
        TSampleHeader s = ParseSampleHeader(block);
        lastTime = s.TimeStamp;
        bytes += SampleRecordSize(block);
        if (s.Kind == skKeyFrame) ++keyFrames;
        if (index == 0 && s.Kind != skKeyFrame) problem(index, s.TimeStamp, "not a key frame");
        if (s.Kind < skDifference || s.Kind > skMarker)
            problem(index, s.TimeStamp, "unknown kind " + std::to_string(s.Kind));
        // A marker's payload is its text, not a picture.
        if (s.Length == 0 || s.Kind == skMarker) continue;
        try {
            int32_t n =
                UnZipBuffer(block + kSampleHeaderSize, s.Length,
                            static_cast<int16_t>(s.Compression), image.get(), kDecodeBufferSize);
            uint32_t size = LoadLE32(image.get() + 2);
            if (n < 0)
                problem(index, s.TimeStamp, "LZO1X data damaged");
            else if (n < 54 || image[0] != 'B' || image[1] != 'M')
                problem(index, s.TimeStamp, "not a bitmap image");
            else if (size > kDecodeBufferSize || LoadLE32(image.get() + 10) >= size)
                problem(index, s.TimeStamp, "bitmap sizes out of range");
            else if (std::string why = pictures.Problem(s, image.get(), kDecodeBufferSize);
                     !why.empty())
                problem(index, s.TimeStamp, why);
        } catch (const EKivError& e) {
            problem(index, s.TimeStamp, e.what());
        }
    }
    UninitDecoder();
    if (!reader.Failure().empty()) problem(records, 0, "reading stopped: " + reader.Failure());
    // Not a payload that fails: said, but the exit status stays the payloads'. Live
    // sources have no header (nor a sample area's length).
    const TKivFileHeader& header = reader.Header();
    if (reader.Failure().empty() && header.HeaderPosition != 0 &&
        (records == 0 || lastTime != header.Duration)) {
        const std::string last =
            records ? "the last record's time stamp is " + std::to_string(lastTime) + " ms"
                    : "there is no record";
        std::printf("note: duration %u ms, but %s\n", header.Duration, last.c_str());
    }
    std::printf("records: %llu\nkey_frames: %llu\nbytes: %llu\nduration: %u\nproblems: %llu\n",
                static_cast<unsigned long long>(records),
                static_cast<unsigned long long>(keyFrames), static_cast<unsigned long long>(bytes),
                reader.Header().Duration, static_cast<unsigned long long>(problems));
    return problems ? 1 : 0;
}

int CmdTypelib(const TArgs& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: kivtool typelib\n");
        return kUsageExit;
    }
    std::fputs(TypeLibraryListing().c_str(), stdout);
    return 0;
}

} // namespace kivtool
