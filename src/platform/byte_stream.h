// A positioned byte stream: files here, HTTP ranges and sockets elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TByteStream {
public:
    virtual ~TByteStream() = default;
    // Bytes read, 0 at the end or on failure.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // The new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    int64_t Position() { return Seek(0, soCurrent); }
    // Reads until count bytes arrived or a read gives nothing.
    int32_t ReadFull(void* buffer, int32_t count);
};

// A local file opened for reading; others may read it but not write it.
class TFileStream : public TByteStream {
public:
    // Raises EKivError when the file cannot be opened.
    explicit TFileStream(const std::string& path);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    int FFd = -1;
};

// Reads bytes held in memory; optionally delivers at most a few bytes per read,
// as a network peer may.
class TMemoryStream : public TByteStream {
public:
    explicit TMemoryStream(std::vector<uint8_t> bytes, int32_t maxPerRead = INT32_MAX)
        : FBytes(std::move(bytes)), FMaxPerRead(maxPerRead) {}
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    std::vector<uint8_t> FBytes;
    int32_t FMaxPerRead;
    int64_t FPos = 0;
};

} // namespace kiv
