// A TCP client socket with time-limited waits; the descriptor is closed with it.
#pragma once

#include "platform/byte_stream.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace kiv {

class TSocket {
public:
    TSocket() = default;
    explicit TSocket(int fd) : FFd(fd) {}
    ~TSocket() { Close(); }
    TSocket(TSocket&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TSocket& operator=(TSocket&& other) noexcept;
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    // Resolves host (a name or a dotted address) and connects within timeoutMs,
    // giving up early once *abort is set.
    bool Connect(const std::string& host, uint16_t port, int timeoutMs,
                 const std::atomic<bool>* abort = nullptr);
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    // Sends everything; false when the connection failed.
    bool SendAll(const void* data, size_t size);
    // True when data (or the peer's close) can be read within timeoutMs; false
    // early once *abort is set.
    bool WaitReadable(int timeoutMs, const std::atomic<bool>* abort = nullptr);
    // One receive of at most size bytes; 0 when the peer closed, -1 on failure.
    int64_t Receive(void* buffer, size_t size);

private:
    int FFd = -1;
};

// A socket read as a byte stream: each read waits at most the time-out for data.
class TSocketStream : public TByteStream {
public:
    TSocketStream(TSocket& socket, int readTimeoutMs) : FSocket(socket), FTimeout(readTimeoutMs) {}
    // Bytes received in one receive; 0 when the time-out passed or the peer closed.
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    TSocket& FSocket;
    int FTimeout;
    int64_t FPosition = 0;
};

} // namespace kiv
