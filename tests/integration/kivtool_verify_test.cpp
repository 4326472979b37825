// kivtool verify and dump on recordings that lie about their layout or their pictures:
// the problem or note each prints, what it delivers and how it exits.
#include "sources/fill_test_util.h"
#include "support/kiv_script.h"
#include "support/kivtool_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kiv;
using namespace kiv::test;

namespace {

// The problem and note lines of verify's output.
std::vector<std::string> Findings(const std::string& out) {
    std::vector<std::string> lines;
    std::stringstream s(out);
    for (std::string line; std::getline(s, line);)
        if (line.starts_with("problem: ") || line.starts_with("note: ")) lines.push_back(line);
    return lines;
}

// Where record i starts in the file.
uint32_t RecordStart(const TBytes& file, size_t i) {
    uint64_t at = kFileHeaderSize;
    for (const auto& r : RecordsOf(file)) {
        if (i-- == 0) break;
        at += r.size();
    }
    return static_cast<uint32_t>(at);
}

} // namespace

TEST(KivtoolVerify, ReportsWhatPlayingMeetsAndDumpDeliversWhatThereIs) {
    // 22 x 8: key frames at 0 and 1000, a column every 100 ms; 20 records, 1900 ms.
    const TScript columns = ColumnScript(2);
    TScript badPointer = ColumnScript(2, [](TScript& s, uint32_t t) {
        if (t != 500) return false;
        auto shape = SolidBmp(8, 8, MakeColor(1, 2, 3));
        bmp_detail::Put32(shape, 14, 7); // no info header has that size
        s.Pointer(t, 3, 3, shape);
        return true;
    });
    TScript wideKey = columns;
    wideKey.Samples[0].Payload = SolidBmp(23, 8, MakeColor(1, 2, 3));

    TScriptDir dir;
    const std::string path = dir.File("r.kiv"), err = dir.File("err.txt");
    auto bytesOf = [&](const TScript& s) {
        s.Write(path);
        std::ifstream in(path, std::ios::binary);
        return TBytes(std::istreambuf_iterator<char>(in), {});
    };
    const TBytes good = bytesOf(columns);
    const uint32_t areaEnd = kFileHeaderSize + LoadLE32(good.data() + 12);

    // Record 9's Length reaches past the sample area; the sample area ends 20 bytes
    // into record 4 (where zeros give the index header no entries).
    TBytes longRecord = good;
    StoreLE32(longRecord.data() + RecordStart(good, 9) + 12, 100000);
    TBytes shortArea = good;
    const uint32_t cut = RecordStart(good, 4) + 20;
    StoreLE32(shortArea.data() + 12, cut - kFileHeaderSize);
    TBytes longDuration = good;
    StoreLE32(longDuration.data() + 8, 600000);

    const struct {
        const char* Name;
        TBytes Bytes;
        std::vector<std::string> Findings;
        size_t Records;     // delivered to verify and to dump
        std::string Failed; // why dump stopped short
    } cases[] = {
        {"sound", good, {}, 20, ""},
        {"a record past the end of the sample area",
         longRecord,
         {"problem: 9,0,reading stopped: record 9 runs past the end of the sample area at byte " +
          std::to_string(areaEnd)},
         9,
         "record 9 runs past the end of the sample area at byte " + std::to_string(areaEnd)},
        {"a header position inside a record",
         shortArea,
         {"problem: 4,0,reading stopped: record 4 runs past the end of the sample area at byte " +
          std::to_string(cut)},
         4,
         "record 4 runs past the end of the sample area at byte " + std::to_string(cut)},
        {"a damaged pointer image",
         bytesOf(badPointer),
         {"problem: 5,500,pointer image: not a bitmap: unknown info header size"},
         20,
         ""},
        {"a first key frame wider than the recording",
         bytesOf(wideKey),
         {"problem: 0,0,key frame cannot set the picture up: larger than the recording"},
         20,
         ""},
        {"a duration past the last record",
         longDuration,
         {"note: duration 600000 ms, but the last record's time stamp is 1900 ms"},
         20,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(c.Bytes.data()),
                      static_cast<std::streamsize>(c.Bytes.size()));
        }
        const bool problems = !c.Findings.empty() && c.Findings[0].starts_with("problem: ");
        const TRun verify = RunKivtool(err, "verify " + path);
        EXPECT_EQ(verify.Exit, problems ? 1 : 0) << verify.Err;
        EXPECT_EQ(Findings(verify.Out), c.Findings) << verify.Out;
        EXPECT_NE(verify.Out.find("records: " + std::to_string(c.Records) + "\n"),
                  std::string::npos)
            << verify.Out;

        const TRun dump = RunKivtool(err, "dump " + path);
        EXPECT_EQ(dump.Exit, c.Failed.empty() ? 0 : 1);
        EXPECT_EQ(static_cast<size_t>(std::count(dump.Out.begin(), dump.Out.end(), '\n')),
                  c.Records);
        EXPECT_EQ(dump.Err, c.Failed.empty()
                                ? ""
                                : "kivtool: stopped after " + std::to_string(c.Records) +
                                      " records: " + c.Failed + "\n");
    }
}
