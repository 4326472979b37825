// A recording on a web server read like a file: every Read is one GET for
// exactly the byte range wanted, over one connection kept between reads.
#pragma once

#include "net/curl_handle.h"
#include "platform/byte_stream.h"
#include "platform/read_progress.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace kiv {

class TInternetStream : public TByteStream {
public:
    // Parses the address; raises EKivError when it cannot be used.
    explicit TInternetStream(const std::string& address);

    // Bytes read, 0 on any failure (logged unless the stream was closed).
    int32_t Read(void* buffer, int32_t count) override;
    // From the end: "Not Implement"; the stream does not know its size.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void Write(const void* buffer, int32_t count);

    // Drops the connection; the next Read connects again. Owner thread only.
    void Close();
    // From any thread: makes a read under way give up soon, quietly.
    void Abort();
    // A flag of the owner's that aborts reads the same way once set.
    void SetAbortFlag(const std::atomic<bool>* flag) { FAbortFlag = flag; }
    // The owner's count of bytes received, added to as they arrive. Bytes an
    // earlier attempt at the same position brought are not news: a server
    // that breaks every answer at the same place makes no progress.
    void SetProgress(TReadProgress* progress) { FProgress = progress; }

    const std::string& ServerName() const { return FServerName; }
    int Port() const { return FPort; }
    const std::string& ObjectName() const { return FObjectName; }
    bool Secure() const { return FSecure; }
    // The status of the last answer (0 when none came).
    long LastStatus() const { return FLastStatus; }
    // Requests sent so far, for statistics and benchmarks.
    uint64_t Requests() const { return FRequests; }

private:
    static size_t OnBody(char* data, size_t one, size_t count, void* self);
    static size_t OnHeader(char* data, size_t one, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    void Connect();
    bool Aborted() const { return FClosed.load() || (FAbortFlag && FAbortFlag->load()); }
    int32_t Request(uint8_t* buffer, int32_t count);

    std::string FObjectName;
    std::string FServerName;
    int FPort = 80;
    bool FSecure = false;
    std::string FUrl;
    int64_t FPosition = 0; // owner thread
    TCurlHandle FHandle;   // owner thread; kept between reads for the connection
    std::atomic<bool> FClosed{false};
    const std::atomic<bool>* FAbortFlag = nullptr;
    TReadProgress* FProgress = nullptr;
    uint64_t FRequests = 0; // owner thread
    long FLastStatus = 0;   // owner thread

    // The read under way (owner thread).
    uint8_t* FTarget = nullptr;
    int32_t FWanted = 0;
    int32_t FGot = 0;
    std::string FContentRange;
    int64_t FAttemptAt = -1;  // the position of the reads that failed since the last success
    int32_t FAttemptSeen = 0; // the most bytes one of them received
};

} // namespace kiv
