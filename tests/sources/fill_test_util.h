// What the reading-thread tests share: a host standing in for the control and the
// play thread, a recording server that can hold or fail chosen requests, recordings.
#pragma once

#include "buffers/play_context.h"
#include "format/kiv_format.h"
#include "platform/debug_log.h"
#include "sources/fill_thread.h"
#include "platform/kiv_messages.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/samples.h"
#include "synth/recording_writer.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kiv::test {

using TBytes = std::vector<uint8_t>;

// Generous: only a broken reading thread makes a test wait this long.
constexpr int64_t kWaitMs = 20000;

// The whole records of a recording's sample area, as a correct reader delivers them.
inline std::vector<TBytes> RecordsOf(const TBytes& file) {
    std::vector<TBytes> out;
    if (file.size() < kFileHeaderSize) return out;
    const uint32_t duration = LoadLE32(file.data() + 8);
    const uint64_t end =
        std::min<uint64_t>(file.size(), kFileHeaderSize + uint64_t(LoadLE32(file.data() + 12)));
    uint64_t pos = kFileHeaderSize;
    while (pos + kSampleHeaderSize <= end) {
        const uint64_t size = SampleRecordSize(file.data() + pos);
        if (size > kMaxRecordSize || pos + size > end) break;
        out.emplace_back(file.begin() + static_cast<ptrdiff_t>(pos),
                         file.begin() + static_cast<ptrdiff_t>(pos + size));
        if (SampleTimeStamp(file.data() + pos) == duration) break;
        pos += size;
    }
    return out;
}

inline uint32_t TimeOf(const TBytes& record) {
    return SampleTimeStamp(record.data());
}

// Samples every 100 ms up to lastMs, key frames every keyEveryMs, payloads of
// about payloadBytes that differ per record.
inline TBytes StepsRecording(uint32_t lastMs = 3900, uint32_t keyEveryMs = 1000,
                             size_t payloadBytes = 4500) {
    synth::TRecordingWriter w(320, 240);
    for (uint32_t t = 0, i = 0; t <= lastMs; t += 100, ++i) {
        const bool key = t % keyEveryMs == 0;
        TBytes payload(payloadBytes + (i * 997) % 1500);
        for (size_t k = 0; k < payload.size(); ++k)
            payload[k] = static_cast<uint8_t>(i * 31 + k);
        if (!key && i % 7 == 3) payload.clear(); // a pointer sample
        w.AddSample(MakeHeader(t, key ? skKeyFrame : (payload.empty() ? skPointer : skDifference)),
                    payload);
    }
    return w.Finish();
}

// Serves recordings by range like a web server; chosen requests can be held
// until released or answered with a fault instead.
class TRecordingServer {
public:
    struct TRequest {
        std::string Target;
        int64_t From = -1, To = -1;
        int Connections = 0; // accepted by the time it came: tells passes apart
    };
    using TFault = std::function<std::optional<THttpResponse>(const TRequest&)>;

    TRecordingServer() : FServer([this](const THttpRequest& r) { return Answer(r); }) {}
    ~TRecordingServer() { Release(); }

    void Put(const std::string& name, const TBytes& bytes) {
        std::lock_guard guard(FLock);
        FFiles["/" + name] = std::make_shared<std::string>(bytes.begin(), bytes.end());
    }
    std::string Url(const std::string& name) const { return FServer.Url("/" + name); }
    void SetFault(TFault fault) {
        std::lock_guard guard(FLock);
        FFault = std::move(fault);
    }
    // The next request for a range starting at from waits for Release.
    void HoldAt(int64_t from) {
        std::lock_guard guard(FLock);
        FHoldAt.insert(from);
    }
    // Waits until count requests have been held in all.
    bool WaitHeld(int count) {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::milliseconds(kWaitMs),
                                 [&] { return FHeldInAll >= count; });
    }
    void Release() {
        std::lock_guard guard(FLock);
        FReleased = FHeldInAll;
        FChanged.notify_all();
    }
    std::vector<TRequest> Requests() {
        std::lock_guard guard(FLock);
        return FRequests;
    }
    int Connections() const { return FServer.Connections(); }

private:
    THttpResponse Answer(const THttpRequest& r) {
        TRequest req;
        req.Target = r.Target;
        req.Connections = FServer.Connections();
        auto range = r.Headers.find("range");
        if (range != r.Headers.end()) {
            long long from = -1, to = -1;
            if (std::sscanf(range->second.c_str(), "bytes=%lld-%lld", &from, &to) == 2) {
                req.From = from;
                req.To = to;
            }
        }
        std::unique_lock guard(FLock);
        FRequests.push_back(req);
        if (FHoldAt.erase(req.From)) {
            const int ticket = ++FHeldInAll;
            FChanged.notify_all();
            FChanged.wait(guard, [&] { return FReleased >= ticket; });
        }
        if (FFault) {
            if (auto answer = FFault(req)) return *answer;
        }
        auto file = FFiles.find(r.Target);
        if (file == FFiles.end()) {
            THttpResponse missing;
            missing.Status = 404;
            missing.Body = "<html><body>404 Not Found</body></html>";
            return missing;
        }
        auto body = file->second;
        guard.unlock();
        return THttpServer::Ranged(r, *body);
    }

    std::mutex FLock;
    std::condition_variable FChanged;
    std::map<std::string, std::shared_ptr<const std::string>> FFiles; // guarded by FLock
    TFault FFault;                                                    // guarded by FLock
    std::set<int64_t> FHoldAt;                                        // guarded by FLock
    int FHeldInAll = 0, FReleased = 0;                                // guarded by FLock
    std::vector<TRequest> FRequests;                                  // guarded by FLock
    THttpServer FServer; // last: its threads call Answer
};

// The control and the play thread around one reading thread.
class TFillHost {
public:
    TFillHost() {
        Context.Window = &Window;
        Context.PlayThread = &Play;
        Renew();
    }
    ~TFillHost() { Close(); }

    // A fresh reading thread, as the control makes one per open.
    void Renew() {
        Close();
        FPosted = 0;
        TMessage stale;
        while (Play.Queue.TryGet(stale) || Window.Queue.TryGet(stale)) {
        }
        Thread = std::make_unique<TFillThread>(&Context);
        Context.FillThread = Thread.get();
        Thread->Start();
    }
    void Close() {
        if (Thread) Thread->Destroy();
        Thread.reset();
        Context.FillThread = nullptr;
        Context.Frames.Clear();
    }

    // The open result code, or -1 when none came.
    int Open(const std::string& address) {
        Thread->Open(address);
        TMessage m;
        if (!Next(Window, WM_OPENRESULT, m)) return -1;
        LastTag = m.LParam;
        return static_cast<int>(m.WParam);
    }

    // The next message numbered msg on a queue, skipping others.
    static bool Next(TQueueWindow& q, uint32_t msg, TMessage& out) {
        for (;;) {
            if (!q.Queue.WaitFor(kWaitMs)) return false;
            if (q.Queue.TryGet(out) && out.Msg == msg) return true;
        }
    }

    // Posts a read request (also while a pass runs) and waits until the thread has
    // handled every read request posted so far.
    bool Pass(int32_t target = -1) {
        Thread->Post(WM_READ, target, 0);
        return WaitPasses(++FPosted);
    }
    bool WaitPasses(uint64_t count) {
        for (uint64_t seen = Thread->Passes(); seen < count; seen = Thread->Passes())
            if (!Thread->WaitPass(seen, kWaitMs)) return false;
        return true;
    }
    // Counts read requests the test posted itself, so Pass waits for the right one.
    void Posted(uint64_t n = 1) { FPosted += n; }

    // Reads to the end as the play thread would, trimming behind itself; stops
    // early after a few passes that bring nothing.
    std::vector<TBytes> ReadAll(int idleLimit = 3) {
        std::vector<TBytes> out;
        auto& frames = Context.Frames;
        int32_t held = frames.Count();
        for (int idle = 0; idle < idleLimit;) {
            if (!Pass()) break;
            const int32_t count = frames.Count();
            for (int32_t i = held; i < count; ++i) {
                const uint8_t* s = frames.Sample(i);
                out.emplace_back(s, s + SampleRecordSize(s));
            }
            idle = count > held ? 0 : idle + 1;
            held = count;
            if (Thread->Exhausted() || Thread->Damaged()) break;
            int32_t index = count - 1;
            if (index > 0) {
                frames.DropBeforeKeyFrame(index);
                held = index + 1;
            }
        }
        return out;
    }

    // Time stamp of the sample a seek to target shows, or -1 when none is shown.
    int64_t SeekShows(int32_t target) {
        Thread->Reset();
        TMessage m;
        while (Play.Queue.TryGet(m)) {
        }
        Thread->Seek(target);
        if (!Next(Play, WM_DRAWTO, m)) return -1;
        const uint8_t* s = Context.Frames.Sample(static_cast<int32_t>(m.WParam));
        return s ? int64_t(SampleTimeStamp(s)) : -1;
    }

    TPlayContext Context;
    TQueueWindow Window, Play;
    std::unique_ptr<TFillThread> Thread;
    intptr_t LastTag = 0;

private:
    uint64_t FPosted = 0;
};

} // namespace kiv::test
