// What the multicast tests share: recordings with known records, and a host
// standing in for the control and the play thread around one multicast source.
#pragma once

#include "buffers/play_context.h"
#include "format/kiv_format.h"
#include "platform/kiv_messages.h"
#include "sources/multicast_stream.h"
#include "support/log_capture.h"
#include "synth/recording_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace kiv::test {

using TBytes = std::vector<uint8_t>;

// Generous: only a broken receiver makes a test wait this long.
constexpr int64_t kWaitMs = 20000;

// A folder of its own for a test's files, removed with it.
class TScratchDir {
public:
    TScratchDir() {
        FPath = std::filesystem::temp_directory_path() /
                ("kivmc-test-" + std::to_string(getpid()) + "-" + std::to_string(++Counter()));
        std::filesystem::create_directories(FPath);
    }
    ~TScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path FPath;
};

inline void WriteText(const std::string& path, const std::string& text) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (f) std::fwrite(text.data(), 1, text.size(), f.get());
}

inline std::string SmsText(const std::string& group, int port) {
    return "[Address]\r\nip=" + group + "\r\nport=" + std::to_string(port) + "\r\n";
}

// A raw payload holding a width × height 24-bit BMP file image.
inline TBytes PicturePayload(uint16_t width, uint16_t height) {
    const uint32_t stride = (width * 3u + 3u) & ~3u;
    const uint32_t bits = stride * height;
    TBytes b(54 + bits, 0);
    b[0] = 'B';
    b[1] = 'M';
    StoreLE32(b.data() + 2, 54 + bits);
    StoreLE32(b.data() + 10, 54);
    StoreLE32(b.data() + 14, 40);
    StoreLE32(b.data() + 18, width);
    StoreLE32(b.data() + 22, height);
    StoreLE16(b.data() + 26, 1);
    StoreLE16(b.data() + 28, 24);
    StoreLE32(b.data() + 34, bits);
    for (uint32_t i = 54; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

// Bytes that differ from sample to sample.
inline TBytes Filler(size_t size, uint32_t seed) {
    TBytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(seed * 131 + i * 7 + (i >> 8));
    return b;
}

struct TSampleSpec {
    uint32_t Time = 0;
    int16_t Kind = skDifference;
    TBytes Payload;
};

inline TBytes RecordOf(const TSampleSpec& s) {
    TSampleHeader h{};
    h.TimeStamp = s.Time;
    h.Kind = s.Kind;
    h.Compression = ckRaw;
    h.Length = static_cast<uint32_t>(s.Payload.size());
    TBytes r(kSampleHeaderSize + s.Payload.size());
    StoreSampleHeader(h, r.data());
    std::copy(s.Payload.begin(), s.Payload.end(), r.begin() + kSampleHeaderSize);
    return r;
}

// Writes a recording of these samples; returns their records in order.
inline std::vector<TBytes> WriteRecording(const std::string& path,
                                          const std::vector<TSampleSpec>& samples,
                                          uint16_t width = 64, uint16_t height = 48) {
    synth::TRecordingWriter w(path, width, height);
    std::vector<TBytes> records;
    for (const auto& s : samples) {
        TSampleHeader h{};
        h.TimeStamp = s.Time;
        h.Kind = s.Kind;
        h.Compression = ckRaw;
        w.AddSample(h, s.Payload);
        records.push_back(RecordOf(s));
    }
    w.Finish();
    return records;
}

// The control and the play thread around one multicast source.
class TCastHost {
public:
    // Receivers on the host's usable interfaces, or on the addresses given.
    explicit TCastHost(std::optional<std::vector<std::string>> addresses = std::nullopt) {
        Context.Window = &Window;
        Context.PlayThread = &Play;
        Context.Frames.SetListener([this] {
            std::lock_guard guard(FLock);
            FArrived.notify_all();
        });
        Stream = addresses ? std::make_unique<TKivMulticastStream>(&Context, *addresses)
                           : std::make_unique<TKivMulticastStream>(&Context);
        Context.FillThread = Stream.get();
        Stream->Start();
    }
    ~TCastHost() {
        Stream->Destroy();
        Stream.reset();
        Context.FillThread = nullptr;
        Context.Frames.SetListener({});
    }

    // The open result code, or -1 when none came.
    int Open(const std::string& path) {
        Stream->Open(path);
        TMessage m;
        return Next(Window, WM_OPENRESULT, m) ? static_cast<int>(m.WParam) : -1;
    }
    // Waits until every receiver has joined the group.
    bool WaitReceivers() {
        for (size_t i = 0; i < Stream->Addresses().size(); ++i)
            if (!Stream->Receiver(i).WaitReceiving(kWaitMs)) return false;
        return true;
    }
    bool WaitFrames(int32_t count) {
        std::unique_lock guard(FLock);
        return FArrived.wait_for(guard, std::chrono::milliseconds(kWaitMs),
                                 [&] { return Context.Frames.SampleCount() >= count; });
    }
    std::vector<TBytes> Frames() {
        std::vector<TBytes> out;
        for (int32_t i = 0, n = Context.Frames.Count(); i < n; ++i) {
            const uint8_t* s = Context.Frames.Sample(i);
            out.emplace_back(s, s + SampleRecordSize(s));
        }
        return out;
    }
    // The next message numbered msg on a queue, skipping others.
    static bool Next(TQueueWindow& q, uint32_t msg, TMessage& out) {
        for (;;) {
            if (!q.Queue.WaitFor(kWaitMs)) return false;
            if (q.Queue.TryGet(out) && out.Msg == msg) return true;
        }
    }

    TPlayContext Context;
    TQueueWindow Window, Play;
    std::unique_ptr<TKivMulticastStream> Stream;

private:
    std::mutex FLock;
    std::condition_variable FArrived;
};

} // namespace kiv::test
