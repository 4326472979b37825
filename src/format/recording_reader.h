// Opening a recording (header, magic, sample area, index) and walking its sample area.
#pragma once

#include "format/activity.h"
#include "format/kiv_format.h"
#include "format/record_cutter.h"
#include "platform/byte_stream.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv {

struct TOpenedRecording {
    int Code = 0;                     // source result code, 0 when opened
    std::string Text;                 // why it failed, for the log
    TKivFileHeader Header{};          // as read, also after most failures
    std::vector<TIndexEntry> Entries; // in file order, equal neighbours collapsed, capped
    int64_t DataStart = 0;            // stream position of the first sample record
};

// Reads the header and the index and leaves the stream at the sample area. The
// index is read in pieces, so an IndexCount larger than the bytes present ends
// as a short read without first allocating room for it.
TOpenedRecording OpenRecording(TByteStream& stream);

// End of the sample area: 32 + HeaderPosition.
inline int64_t SampleAreaEnd(const TKivFileHeader& h) {
    return static_cast<int64_t>(kFileHeaderSize) + h.HeaderPosition;
}

// Reads the sample area from the stream's position to its end, or through the
// record whose time stamp equals Duration, handing each record on in order.
// Returns false when the stream stopped short or a record was damaged.
class TRecordingWalker {
public:
    using TSink = std::function<void(TSampleBlock record)>;

    TRecordingWalker(TByteStream& stream, const TKivFileHeader& header);
    bool Run(const TSink& sink);
    const std::string& Failure() const { return FFailure; }

private:
    TByteStream& FStream;
    TKivFileHeader FHeader;
    TRecordCutter FCutter;
    std::string FFailure;
};

// Walks the record headers of the sample area from the stream's position,
// reading no payload but a marker's text; false when it stopped short (a short
// read, a record past the sample area's end).
using TRecordHeaderSink = std::function<void(const TSampleHeader&, const std::string& markerText)>;
bool ScanRecordHeaders(TByteStream& stream, const TKivFileHeader& header,
                       const TRecordHeaderSink& sink, const std::atomic<bool>& abort);

} // namespace kiv
