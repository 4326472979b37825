// Reading a recording's records in order without playing it: the source is
// opened as the control opens it, and what has been handed out is dropped from
// the frames buffer as reading goes on, as the play thread would.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kiv {

// A source that delivers nothing for this long has stopped: the one limit of
// hosts that read or play without a window (kivtool), for opening and reading.
constexpr int64_t kStalledSourceMs = 30000;

class TRecordReader {
public:
    explicit TRecordReader(int64_t stallLimitMs = kStalledSourceMs);
    ~TRecordReader();
    TRecordReader(const TRecordReader&) = delete;
    TRecordReader& operator=(const TRecordReader&) = delete;

    // Once. 0, or the open result code with Failure() the control's failure
    // line. A live source that sends no key frame within the limit gives
    // srDisconnected.
    int Open(const std::string& address);

    // The next record (sample header and payload), valid until the next call.
    // Null after the last one, with Failure() empty, or when reading stopped
    // short (a damaged record, a record that runs past the end of the sample
    // area, or nothing delivered within the limit), with Failure() saying where.
    const uint8_t* Next();

    const std::string& Failure() const;
    // The recording's header once opened (live sources fill in only the size).
    const TKivFileHeader& Header() const;
    // Bytes buffered, handed out or not.
    int64_t BufferedBytes() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace kiv
