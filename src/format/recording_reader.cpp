#include "format/recording_reader.h"

#include "codec/compression.h"

#include "codec/kivdecoder.h"
#include "format/source_result.h"

#include <algorithm>
#include <cstdio>

namespace kiv {
namespace {

constexpr int32_t kChunk = 0x8000;

// Adds an entry as the index table will: an equal neighbour collapses, the
// oldest entries go once the cap is passed.
void AddCollapsed(std::vector<TIndexEntry>& entries, const TIndexEntry& e) {
    if (!entries.empty() && entries.back().TimeStamp == e.TimeStamp) return;
    entries.push_back(e);
    if (entries.size() >= 2 * kMaxIndexEntries)
        entries.erase(entries.begin(), entries.end() - kMaxIndexEntries);
}

} // namespace

TOpenedRecording OpenRecording(TByteStream& stream) {
    TOpenedRecording r;
    auto fail = [&r](int code, std::string text) {
        r.Code = code;
        r.Text = std::move(text);
        r.Entries.clear();
        return r;
    };

    uint8_t header[kFileHeaderSize];
    if (stream.ReadFull(header, sizeof header) < static_cast<int32_t>(sizeof header))
        return fail(srDamaged, "读取文件头数据失败");
    r.Header = ParseFileHeader(header);
    if (!CheckKivFileHeader(header)) return fail(srCannotOpen, "找不到指定的文件");
    if (r.Header.HeaderPosition == 0) return fail(srNoIndex, "没有索引信息");

    stream.Seek(static_cast<int64_t>(r.Header.HeaderPosition), soCurrent);
    uint8_t indexHeader[kIndexHeaderSize];
    if (stream.ReadFull(indexHeader, sizeof indexHeader) < static_cast<int32_t>(sizeof indexHeader))
        return fail(srDamaged, "Fail to read Index header:" + std::to_string(stream.Position()));

    const uint32_t count = LoadLE32(indexHeader);
    const uint64_t wanted = static_cast<uint64_t>(count) * kIndexEntrySize;
    uint64_t got = 0;
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(wanted, kChunk * 8)));
    while (got < wanted) {
        auto ask = static_cast<int32_t>(std::min<uint64_t>(wanted - got, piece.size()));
        int32_t n = stream.ReadFull(piece.data(), ask);
        // Entries are whole 8-byte units; a piece never splits one since ask is a multiple of 8.
        for (int32_t i = 0; i + static_cast<int32_t>(kIndexEntrySize) <= n; i += kIndexEntrySize)
            AddCollapsed(r.Entries, ParseIndexEntry(piece.data() + i));
        got += static_cast<uint64_t>(std::max(n, 0));
        if (n < ask) break;
    }
    if (got < wanted) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "Fail to read index: BytesReaded=%llu, IndexBufBytes=%llu, "
                      "HeaderPosition=%u, IndexCount=%u, Width=%u, Height=%u",
                      static_cast<unsigned long long>(got), static_cast<unsigned long long>(wanted),
                      r.Header.HeaderPosition, count, r.Header.Width, r.Header.Height);
        return fail(srDamaged, text);
    }
    if (r.Entries.size() > kMaxIndexEntries)
        r.Entries.erase(r.Entries.begin(), r.Entries.end() - kMaxIndexEntries);
    r.DataStart = stream.Seek(kFileHeaderSize, soBeginning);
    return r;
}

TRecordingWalker::TRecordingWalker(TByteStream& stream, const TKivFileHeader& header)
    : FStream(stream), FHeader(header) {}

bool TRecordingWalker::Run(const TSink& sink) {
    const int64_t end = SampleAreaEnd(FHeader);
    for (;;) {
        int64_t pos = FStream.Position();
        if (pos >= end) break;
        // Never read past the sample area: the index is not samples.
        auto ask = static_cast<int32_t>(std::min<int64_t>({kChunk, FCutter.Room(), end - pos}));
        int32_t n = FStream.Read(FCutter.Tail(), ask);
        if (n <= 0) {
            FFailure =
                "the stream ended at byte " + std::to_string(pos) + " of " + std::to_string(end);
            return false;
        }
        FCutter.Commit(static_cast<uint32_t>(n));
        TSampleBlock record;
        for (;;) {
            auto cut = FCutter.Next(record);
            if (cut == TRecordCutter::TCut::NeedMore) break;
            if (cut == TRecordCutter::TCut::Damaged) {
                FFailure = "damaged record of " + std::to_string(FCutter.FrontSize()) +
                           " bytes before byte " + std::to_string(FStream.Position());
                return false;
            }
            bool last = SampleTimeStamp(record.get()) == FHeader.Duration;
            sink(std::move(record));
            if (last) return true;
        }
    }
    if (FCutter.Used() > 0) {
        FFailure = std::to_string(FCutter.Used()) + " bytes of an incomplete record at the end";
        return false;
    }
    return true;
}

bool ScanRecordHeaders(TByteStream& stream, const TKivFileHeader& header,
                       const TRecordHeaderSink& sink, const std::atomic<bool>& abort) {
    const int64_t end = SampleAreaEnd(header);
    int64_t at = stream.Position();
    uint8_t raw[kSampleHeaderSize];
    std::string text;
    while (at < end && !abort.load(std::memory_order_relaxed)) {
        if (end - at < kSampleHeaderSize) return false;
        if (stream.Seek(at, soBeginning) != at ||
            stream.ReadFull(raw, kSampleHeaderSize) != int32_t{kSampleHeaderSize})
            return false;
        const TSampleHeader h = ParseSampleHeader(raw);
        const int64_t next = at + kSampleHeaderSize + int64_t{h.Length};
        if (h.Length > kMaxRecordSize || next > end) return false;
        text.clear();
        if (h.Kind == skMarker && h.Compression == ckRaw && h.Length > 0) {
            text.resize(std::min<uint32_t>(h.Length, kMaxMarkerText));
            const auto size = static_cast<int32_t>(text.size());
            if (stream.ReadFull(text.data(), size) != size) return false;
        }
        sink(h, text);
        if (h.TimeStamp == header.Duration) break;
        at = next;
    }
    return true;
}

} // namespace kiv
