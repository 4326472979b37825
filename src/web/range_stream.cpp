#include "web/range_stream.h"

#include "platform/debug_log.h"
#include "platform/error.h"

#include <emscripten.h>

namespace kiv {
namespace {

// Fills buf with the answer to bytes=pos-(pos+count-1). Returns the bytes taken
// and sets *status and *start (the first byte the answer holds: its Content-Range,
// 0 for a whole-resource 200); -1 when no answer came, -2 when the bytes lie
// outside the window fetched ahead while the worker reads windowed.
// clang-format off
EM_JS(int, kiv_range_request, (const char* url, double pos, uint8_t* buf, int count,
                               int* status, double* start), {
    // Bytes the worker fetched ahead (in parallel, in the same blocks) for a seek.
    const ahead = self.kivAhead;
    if (ahead && pos >= ahead.from && pos + count <= ahead.from + ahead.length) {
        HEAP32[status >> 2] = 206;
        HEAPF64[start >> 3] = pos;
        HEAPU8.set(ahead.bytes.subarray(pos - ahead.from, pos - ahead.from + count), buf);
        return count;
    }
    if (self.kivWindowed) return -2; // the worker fetches the next window first
    const xhr = new XMLHttpRequest();
    try {
        xhr.open("GET", UTF8ToString(url), false);
        xhr.responseType = "arraybuffer";
        xhr.setRequestHeader("Range", "bytes=" + pos + "-" + (pos + count - 1));
        xhr.send(null);
    } catch (e) {
        return -1;
    }
    HEAP32[status >> 2] = xhr.status;
    let from = 0;
    if (xhr.status === 206) {
        const m = /bytes +([0-9]+)/.exec(xhr.getResponseHeader("Content-Range") || "");
        from = m ? Number(m[1]) : -1;
    }
    HEAPF64[start >> 3] = from;
    if (xhr.status !== 200 && xhr.status !== 206) return 0;
    const body = new Uint8Array(xhr.response || new ArrayBuffer(0));
    const n = Math.min(body.length, count);
    HEAPU8.set(body.subarray(0, n), buf);
    return n;
});
// clang-format on

} // namespace

int32_t TWebRangeStream::Read(void* buffer, int32_t count) {
    KIV_ASSERT(count > 0, "KivPlayer/UnitKiv");
    FWindowMissed = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int status = 0;
        double start = 0;
        ++FRequests;
        const int n = kiv_range_request(FUrl.c_str(), static_cast<double>(FPosition),
                                        static_cast<uint8_t*>(buffer), count, &status, &start);
        if (n == -2) {
            FWindowMissed = true;
            return 0;
        }
        FLastStatus = status;
        if (n < 0 || status >= 500) continue; // lost on the way, or the server's trouble
        std::string failure;
        if (status != 200 && status != 206)
            failure = "Http Request result :" + std::to_string(status);
        // Bytes from anywhere but the position asked for would corrupt the recording.
        else if (status == 200 && FPosition != 0)
            failure = "Http Request result :200 (the server ignored the range)";
        else if (status == 206 && start != static_cast<double>(FPosition))
            failure = "Http Request result :206 (the answer does not start at " +
                      std::to_string(FPosition) + ")";
        if (!failure.empty()) {
            DebugLog("TInternetStream.Read raise:" + failure);
            return 0;
        }
        FPosition += n;
        FBytesRead += static_cast<uint64_t>(n);
        return n;
    }
    DebugLog("TInternetStream.Read raise:HttpSendRequest Error : " + std::to_string(FLastStatus));
    return 0;
}

int64_t TWebRangeStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (origin == soEnd) throw EKivError("Not Implement");
    FPosition = origin == soBeginning ? offset : FPosition + offset;
    return FPosition;
}

} // namespace kiv
