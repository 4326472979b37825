// The recording on a web server as a byte stream, read from a Web Worker with
// synchronous range requests: the HTTP range stream's reading rules in a page.
#pragma once

#include "platform/byte_stream.h"

#include <cstdint>
#include <string>

namespace kiv {

class TWebRangeStream : public TByteStream {
public:
    static constexpr int32_t kBlockSize = 0x8000;
    static constexpr int kAttempts = 3; // a request that failed on the way is asked again

    explicit TWebRangeStream(std::string url) : FUrl(std::move(url)) {}

    // One range request per call (count is not split); 0 on any failure,
    // including a server that ignored the range past the start.
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    uint64_t BytesRead() const { return FBytesRead; }
    uint32_t Requests() const { return FRequests; }
    // The last read asked for bytes outside the window the worker fetched ahead
    // while it reads windowed (a seek's pass): nothing was requested.
    bool WindowMissed() const { return FWindowMissed; }
    // The status of the last answer, 0 when none came.
    int32_t LastStatus() const { return FLastStatus; }

private:
    std::string FUrl;
    int64_t FPosition = 0;
    uint64_t FBytesRead = 0;
    uint32_t FRequests = 0;
    int32_t FLastStatus = 0;
    bool FWindowMissed = false;
};

} // namespace kiv
