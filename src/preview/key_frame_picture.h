// A recording's key frames, read one at a time through its index with a stream
// of the reader's own.
#pragma once

#include "buffers/index_table.h"
#include "format/kiv_format.h"
#include "platform/bitmap24.h"
#include "platform/byte_stream.h"

#include <memory>
#include <string>
#include <vector>

namespace kiv {

class TKeyFramePicture {
public:
    // Reads the header and the index. Raises EKivError when the stream holds no
    // recording with an index.
    explicit TKeyFramePicture(std::unique_ptr<TByteStream> stream);

    const TKivFileHeader& Header() const { return FHeader; }
    // The key frame a picture at ms comes from: the last one at or before ms, 0
    // when there is none (reading then starts at the first record).
    uint32_t KeyTimeAt(uint32_t ms) { return FIndex.FloorTime(ms); }
    // Every key time of the index, in its order.
    const std::vector<uint32_t>& KeyTimes() const { return FKeyTimes; }
    // Decodes the key frame of that key time. False, with the reason in
    // Failure(), when the record there is not a key frame, lies outside the
    // sample area, or does not decode.
    bool Read(uint32_t keyTime, TBitmap24& picture);
    const std::string& Failure() const { return FFailure; }

private:
    bool Fail(std::string text);

    std::unique_ptr<TByteStream> FStream;
    TKivFileHeader FHeader{};
    TIndexTable FIndex;
    std::vector<uint32_t> FKeyTimes;
    std::vector<uint8_t> FPayload;       // grows to the largest key frame read
    std::unique_ptr<uint8_t[]> FDecoded; // kDecodeBufferSize bytes
    std::string FFailure;
};

} // namespace kiv
