// Writes recordings: header, sample records, key-frame index. Streams to a file
// or collects in memory; tests use the overrides to write damaged recordings.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kiv::synth {

class TRecordingWriter {
public:
    // In memory; Finish returns the bytes.
    TRecordingWriter(uint16_t width, uint16_t height);
    // Streams to a file; raises EKivError when it cannot be created.
    TRecordingWriter(const std::string& path, uint16_t width, uint16_t height);
    ~TRecordingWriter();
    TRecordingWriter(const TRecordingWriter&) = delete;
    TRecordingWriter& operator=(const TRecordingWriter&) = delete;

    // Appends a record; Length is taken from the payload. Key frames are indexed.
    void AddSample(TSampleHeader header, const uint8_t* payload, size_t size);
    void AddSample(const TSampleHeader& header, const std::vector<uint8_t>& payload) {
        AddSample(header, payload.data(), payload.size());
    }
    // Appends bytes as they are to the sample area (damage on purpose).
    void AddRawBytes(const uint8_t* bytes, size_t size);
    // Adds an index entry of its own (in addition to the automatic ones).
    void AddIndexEntry(const TIndexEntry& entry) { FIndex.push_back(entry); }

    bool AutoIndex = true;
    std::optional<uint32_t> Duration;       // default: time stamp of the last record
    std::optional<uint32_t> HeaderPosition; // default: length of the sample area
    std::optional<uint32_t> IndexCount;     // default: entries written
    uint8_t Magic[2] = {'K', 'Q'};

    uint64_t SampleAreaSize() const { return FAreaSize; }
    // Writes the index and the final header. Memory mode returns the recording.
    std::vector<uint8_t> Finish();

private:
    void CheckRoom(uint64_t size) const;
    void Write(const uint8_t* bytes, size_t size);

    uint16_t FWidth, FHeight;
    std::unique_ptr<FILE, int (*)(FILE*)> FFile{nullptr, &std::fclose};
    std::vector<uint8_t> FMemory;
    std::vector<TIndexEntry> FIndex;
    uint64_t FAreaSize = 0;
    uint32_t FLastTime = 0;
    bool FFinished = false;
};

} // namespace kiv::synth
