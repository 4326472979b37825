#include "synth/recording_writer.h"

#include "platform/error.h"

#include <cstring>

namespace kiv::synth {

TRecordingWriter::TRecordingWriter(uint16_t width, uint16_t height)
    : FWidth(width), FHeight(height) {
    FMemory.resize(kFileHeaderSize);
}

TRecordingWriter::TRecordingWriter(const std::string& path, uint16_t width, uint16_t height)
    : FWidth(width), FHeight(height) {
    FFile.reset(std::fopen(path.c_str(), "wb"));
    if (!FFile) throw EKivError("Cannot create file \"" + path + "\"");
    uint8_t blank[kFileHeaderSize] = {};
    Write(blank, sizeof blank);
}

TRecordingWriter::~TRecordingWriter() = default;

void TRecordingWriter::Write(const uint8_t* bytes, size_t size) {
    if (FFile) {
        if (size && std::fwrite(bytes, 1, size, FFile.get()) != size)
            throw EKivError("Cannot write the recording");
    } else {
        FMemory.insert(FMemory.end(), bytes, bytes + size);
    }
}

void TRecordingWriter::CheckRoom(uint64_t size) const {
    if (FFinished) throw EKivError("The recording is already finished");
    // Offsets and HeaderPosition are 32-bit: the sample area must stay below 4 GiB.
    if (FAreaSize + size > 0xFFFFFFFFull) throw EKivError("The recording is too large");
}

void TRecordingWriter::AddSample(TSampleHeader header, const uint8_t* payload, size_t size) {
    CheckRoom(uint64_t(kSampleHeaderSize) + size);
    header.Length = static_cast<uint32_t>(size);
    if (AutoIndex && header.Kind == skKeyFrame)
        FIndex.push_back({header.TimeStamp, static_cast<uint32_t>(FAreaSize)});
    uint8_t bytes[kSampleHeaderSize];
    StoreSampleHeader(header, bytes);
    Write(bytes, sizeof bytes);
    Write(payload, size);
    FAreaSize += kSampleHeaderSize + size;
    FLastTime = header.TimeStamp;
}

void TRecordingWriter::AddRawBytes(const uint8_t* bytes, size_t size) {
    CheckRoom(size);
    Write(bytes, size);
    FAreaSize += size;
}

std::vector<uint8_t> TRecordingWriter::Finish() {
    if (FFinished) throw EKivError("The recording is already finished");
    FFinished = true;
    uint8_t indexHeader[kIndexHeaderSize] = {};
    StoreLE32(indexHeader, IndexCount.value_or(static_cast<uint32_t>(FIndex.size())));
    Write(indexHeader, sizeof indexHeader);
    for (const auto& e : FIndex) {
        uint8_t bytes[kIndexEntrySize];
        StoreIndexEntry(e, bytes);
        Write(bytes, sizeof bytes);
    }
    TKivFileHeader h{};
    std::memcpy(h.Magic, Magic, 2);
    h.Width = FWidth;
    h.Height = FHeight;
    h.Duration = Duration.value_or(FLastTime);
    h.HeaderPosition = HeaderPosition.value_or(static_cast<uint32_t>(FAreaSize));
    uint8_t header[kFileHeaderSize];
    StoreFileHeader(h, header);
    if (FFile) {
        if (std::fseek(FFile.get(), 0, SEEK_SET) != 0 ||
            std::fwrite(header, 1, sizeof header, FFile.get()) != sizeof header ||
            std::fflush(FFile.get()) != 0)
            throw EKivError("Cannot write the recording");
        FFile.reset();
        return {};
    }
    std::memcpy(FMemory.data(), header, sizeof header);
    return std::move(FMemory);
}

} // namespace kiv::synth
