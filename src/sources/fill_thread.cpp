#include "sources/fill_thread.h"

#include "codec/kivdecoder.h"
#include "format/recording_reader.h"
#include "net/address.h"
#include "net/internet_stream.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "platform/tick.h"

#include <algorithm>
#include <cstdio>

namespace kiv {
namespace {

constexpr int32_t kChunk = 0x8000;
std::atomic<intptr_t> gNextTag{1};

} // namespace

TFillThread::TFillThread(TPlayContext* context) : FContext(context), FTag(gNextTag++) {}

TFillThread::~TFillThread() {
    Destroy();
}

void TFillThread::Start() {
    TThread::Start();
    FEvent.Wait();
}

void TFillThread::Destroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    // A read under way gives up instead of holding the join for its time-out.
    FAborting = true;
    if (Quit()) {
        WaitFor();
    } else {
        char line[96];
        std::snprintf(line, sizeof line, "KivPlayer.ocx -> PostThreadMessage ErrorCode=%d", 1444);
        DebugOutput(line);
        WaitFor();
    }
}

void TFillThread::Open(const std::string& address) {
    FAddress = address;
    if (!Post(WM_OPEN, 0, 0)) {
        char line[128];
        std::snprintf(line, sizeof line, "PostThreadMessage(WM_OPEN) Error:%d, ThreadID=%d", 1444,
                      ThreadId());
        DebugOutput(line);
    }
}

void TFillThread::Fill(int32_t target) {
    if (target == -1 && FReading) return;
    Post(WM_READ, target, 0);
}

void TFillThread::Seek(int32_t target) {
    Post(WM_SEEK, target, 0);
}

void TFillThread::Reset() {
    PostAndWait(WM_RESET, -1);
}

void TFillThread::Stop() {
    PostAndWait(WM_STOP, 3000);
}

void TFillThread::PostAndWait(uint32_t msg, int64_t timeoutMs) {
    std::unique_lock guard(FPassLock);
    // Numbered under the lock so that the numbers follow the queue's order.
    const uint64_t ticket = FWaitsPosted + 1;
    if (!Post(msg, static_cast<intptr_t>(ticket), 0)) return;
    FWaitsPosted = ticket;
    auto done = [&] { return FWaitsHandled >= ticket; };
    if (timeoutMs < 0)
        FPassDone.wait(guard, done);
    else
        FPassDone.wait_for(guard, std::chrono::milliseconds(timeoutMs), done);
}

uint64_t TFillThread::Passes() const {
    std::lock_guard guard(FPassLock);
    return FPasses;
}

bool TFillThread::WaitPass(uint64_t seen, int64_t timeoutMs) const {
    std::unique_lock guard(FPassLock);
    return FPassDone.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return FPasses > seen; });
}

void TFillThread::SetPassListener(std::function<void()> listener) {
    std::lock_guard guard(FPassLock);
    FPassListener = std::move(listener);
}

void TFillThread::Execute() {
    FEvent.Signal();
    TMessage m;
    try {
        while (GetMessage(m)) {
            auto target = static_cast<int32_t>(m.WParam);
            switch (m.Msg) {
            case WM_OPEN:
                HandleOpen();
                break;
            case WM_READ: {
                HandleRead(target);
                std::lock_guard guard(FPassLock);
                ++FPasses;
                FPassDone.notify_all();
                if (FPassListener) FPassListener();
                break;
            }
            case WM_SEEK:
                HandleSeek(target);
                break;
            case WM_STOP:
            case WM_RESET: {
                if (m.Msg == WM_STOP)
                    HandleStop();
                else
                    HandleReset();
                std::lock_guard guard(FPassLock);
                FWaitsHandled = std::max<uint64_t>(FWaitsHandled, static_cast<uint64_t>(m.WParam));
                FPassDone.notify_all();
                break;
            }
            default:
                break;
            }
        }
    } catch (const std::exception& e) {
        DebugLog(std::string("TFillThread.Execute Error: ") + e.what());
    }
    // Nobody will answer from now on: release whoever waits for a stop or reset.
    std::lock_guard guard(FPassLock);
    FWaitsHandled = UINT64_MAX;
    FPassDone.notify_all();
}

bool TFillThread::Interrupted() {
    // Anywhere in the queue: a plain request in front must not hide a stop or a
    // quit behind it from a pass that never ends by itself (a live stream).
    return AnyMessage([](const TMessage& m) { return !(m.Msg == WM_READ && m.WParam <= 0); });
}

void TFillThread::PostOpenResult(int code) {
    if (FContext->Window) FContext->Window->Post(WM_OPENRESULT, code, FTag);
}

void TFillThread::PostDrawTo(int32_t index) {
    if (FContext->PlayThread) FContext->PlayThread->Post(WM_DRAWTO, index, 0);
}

void TFillThread::HandleOpen() {
    FStream.reset();
    FHttp = nullptr;
    try {
        if (IsNetworkAddress(FAddress)) {
            auto http = std::make_unique<TInternetStream>(FAddress);
            http->SetAbortFlag(&FAborting);
            http->SetProgress(&FProgress);
            FHttp = http.get();
            FStream = std::move(http);
            FSourceKind = skHttp;
        } else {
            FStream = std::make_unique<TFileStream>(FAddress);
            FSourceKind = skLocalFile;
        }
    } catch (const std::exception&) {
        FStream.reset();
        FHttp = nullptr;
        PostOpenResult(srCannotOpen);
        return;
    }
    TOpenedRecording r = OpenRecording(*FStream);
    FContext->Header = r.Header;
    // A web server that says the recording is not there has not served a damaged
    // one: that is a file that cannot be opened, and it is not tried again.
    if (r.Code == srDamaged && FHttp && (FHttp->LastStatus() == 404 || FHttp->LastStatus() == 410))
        r.Code = srCannotOpen;
    if (r.Code != 0) {
        FStream.reset();
        FHttp = nullptr;
        DebugLog("TFillThread.HandleOpen: " + r.Text);
        PostOpenResult(r.Code);
        return;
    }
    FContext->IndexTable.Clear();
    for (const auto& e : r.Entries)
        FContext->IndexTable.AddEntry(e);
    FDataStart = r.DataStart;
    FCutter.Clear();
    FDamaged = false;
    FCutShort = 0;
    FExhausted = false;
    if (FHttp) FHttp->Close(); // the next pass connects again
    PostOpenResult(srOk);
}

void TFillThread::HandleRead(int32_t target) {
    if (!FStream) return;
    auto& frames = FContext->Frames;
    if (target < 0 && (frames.IsFull() || !frames.HasRoom())) return;
    FReading = true;
    bool found = false;
    FTotalBytes = 0;
    FStartTick = GetTickMs();
    const int64_t end = SampleAreaEnd(FContext->Header);
    const uint32_t duration = FContext->Header.Duration;

    // A target not reached is answered with what there is, so no seek waits for ever.
    auto answer = [&] {
        if (target >= 0 && !found) PostDrawTo(frames.SampleCount() - 1);
    };
    auto exhausted = [&] {
        FExhausted = true;
        answer();
    };
    for (;;) {
        if (Interrupted()) break;
        const int64_t pos = FStream->Position();
        // Nothing after the record stamped Duration is ever delivered.
        if (pos >= end || FDamaged || FExhausted) {
            if (!FDamaged && !FExhausted && FCutter.Used() > 0) CutShortAtEnd();
            exhausted();
            break;
        }
        // Never past the sample area: the index is not samples.
        const auto ask =
            static_cast<int32_t>(std::min<int64_t>({kChunk, FCutter.Room(), end - pos}));
        const int32_t got = FStream->Read(FCutter.Tail(), ask);
        if (got <= 0) {
            answer(); // the source stopped short; a later read may get further
            break;
        }
        if (!FHttp) FProgress.Add(static_cast<uint64_t>(got)); // the stream counts its own
        FTotalBytes += got;
        FLastTick = GetTickMs();
        if (FLastTick > FStartTick)
            FBitRate = static_cast<int32_t>(FTotalBytes * 8 / (FLastTick - FStartTick));
        FCutter.Commit(static_cast<uint32_t>(got));

        bool last = false;
        TSampleBlock record;
        for (;;) {
            auto cut = FCutter.Next(record);
            if (cut == TRecordCutter::TCut::NeedMore) break;
            if (cut == TRecordCutter::TCut::Damaged) {
                char line[160];
                std::snprintf(line, sizeof line,
                              "TFillThread.HandleRead: damaged record of %llu bytes at %lld",
                              static_cast<unsigned long long>(FCutter.FrontSize()),
                              static_cast<long long>(FStream->Position() - FCutter.Used()));
                DebugLog(line);
                FDamaged = true;
                break;
            }
            const uint32_t time = SampleTimeStamp(record.get());
            FContext->Activity.Note(record.get());
            const int32_t index = frames.AddSample(std::move(record));
            if (target >= 0 && !found) {
                if (time > static_cast<uint32_t>(target)) {
                    PostDrawTo(index - 1);
                    found = true;
                } else if (time == static_cast<uint32_t>(target)) {
                    PostDrawTo(index);
                    found = true;
                }
            }
            if (time == duration) {
                last = true;
                break;
            }
        }
        FBufferUsed = FCutter.Used();
        if (last || FDamaged) {
            exhausted();
            break;
        }
        // The bound on memory goes before a target: what there is answers it.
        if (!frames.HasRoom()) {
            answer();
            break;
        }
        if (frames.IsFull() && (target < 0 || found)) break;
        // A file ends there. A web server may answer any range short: the
        // pass goes on from where its answer ended.
        if (got < ask && !FHttp) break;
    }
    if (FHttp) FHttp->Close();
    FReading = false;
}

void TFillThread::CutShortAtEnd() {
    FCutShort = FCutter.Used();
    char line[160];
    std::snprintf(line, sizeof line,
                  "TFillThread.HandleRead: the sample area ends %u bytes into a record, at %lld",
                  FCutter.Used(), static_cast<long long>(SampleAreaEnd(FContext->Header)));
    DebugLog(line);
}

void TFillThread::HandleSeek(int32_t target) {
    if (!FStream) return;
    auto& index = FContext->IndexTable;
    const uint32_t position = index.PositionOf(index.FloorTime(static_cast<uint32_t>(target)));
    FStream->Seek(static_cast<int64_t>(position) + FDataStart, soBeginning);
    FCutter.Clear();
    FBufferUsed = 0;
    FDamaged = false;
    FCutShort = 0;
    FExhausted = false;
    HandleRead(target);
}

void TFillThread::HandleReset() {
    if (FStream) FStream->Seek(FDataStart, soBeginning);
    FCutter.Clear();
    FBufferUsed = 0;
    FDamaged = false;
    FCutShort = 0;
    FExhausted = false;
    FContext->Frames.Clear();
}

// A file needs nothing more; the waiting caller is released by Execute.
void TFillThread::HandleStop() {}

} // namespace kiv
