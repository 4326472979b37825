#include "control/record_reader.h"

#include "codec/kivdecoder.h"
#include "control/source_opening.h"
#include "format/recording_reader.h"
#include "net/address.h"
#include "platform/cache_folder.h"
#include "platform/kiv_messages.h"
#include "platform/window_target.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace kiv {
namespace {

using TClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A source whose reads keep failing is asked again at growing intervals, so
// that a server answering errors is not flooded for the whole limit.
constexpr milliseconds kFirstRetry{50};
constexpr milliseconds kLongestRetry{2000};

} // namespace

// Everything belongs to the caller's thread; the window's queue and the
// context's buffers are shared with the reading thread and guard themselves.
struct TRecordReader::TImpl {
    explicit TImpl(int64_t stallLimitMs) : Limit(stallLimitMs) {
        Context.Window = &Window;
        InitDecoder(); // live sources decode their first key frame
    }
    ~TImpl() {
        if (Fill) Fill->Destroy();
        Context.FillThread = nullptr;
        Context.Frames.SetListener({});
        Context.Frames.Clear();
        UninitDecoder();
    }

    const uint8_t* Stop(std::string failure) {
        Ended = true;
        Failure = std::move(failure);
        return nullptr;
    }
    const uint8_t* HandOut(TClock::time_point now);
    // Asks for more unless a pass is under way or a retry is not yet due.
    bool Ask(TClock::time_point now);
    TClock::time_point LastByteAt(TClock::time_point now) const {
        return now - milliseconds(Fill->Progress().QuietMs());
    }

    const milliseconds Limit;
    TPlayContext Context;
    TQueueWindow Window; // the open result; woken by samples and passes
    std::unique_ptr<TFillThread> Fill;
    std::string Url;
    std::string Failure;
    bool Ended = false;
    int32_t NextIndex = 0;       // in the frames buffer: the next record to hand out
    bool DropAtNext = false;     // a key frame was handed out: what precedes it can go
    uint64_t Delivered = 0;      // records handed out
    bool Asked = false;          // a read request is outstanding
    uint64_t PassesAtAsk = 0;    // the reading thread's passes when it was asked
    uint64_t DeliveredAtAsk = 0; // and the records handed out by then
    uint64_t ReceivedAtAsk = 0;  // and the bytes the source had brought
    milliseconds Backoff{0};     // before asking again after an empty pass
    std::optional<TClock::time_point> RetryAt;
    TClock::time_point LastProgress;
};

const uint8_t* TRecordReader::TImpl::HandOut(TClock::time_point now) {
    LastProgress = now;
    Backoff = milliseconds(0);
    RetryAt.reset();
    const int32_t index = NextIndex++;
    const uint8_t* record = Context.Frames.Sample(index);
    DropAtNext = index > 0 && SampleKind(record) == skKeyFrame;
    ++Delivered;
    return record;
}

bool TRecordReader::TImpl::Ask(TClock::time_point now) {
    if (Asked && Fill->Passes() > PassesAtAsk) {
        Asked = false;
        // Nothing came of it: reads are failing. The first time may be a pass
        // that ended just as it was asked again, so it is retried at once.
        if (Delivered == DeliveredAtAsk && Fill->Progress().Bytes() == ReceivedAtAsk) {
            RetryAt = now + Backoff;
            Backoff = Backoff.count() ? std::min(Backoff * 2, kLongestRetry) : kFirstRetry;
        }
    }
    if (Asked || (RetryAt && now < *RetryAt)) return false;
    RetryAt.reset();
    Asked = true;
    PassesAtAsk = Fill->Passes();
    DeliveredAtAsk = Delivered;
    ReceivedAtAsk = Fill->Progress().Bytes();
    Fill->Fill(-1); // dropped while a pass runs; that pass's end answers instead
    return true;
}

TRecordReader::TRecordReader(int64_t stallLimitMs) : F(std::make_unique<TImpl>(stallLimitMs)) {}

TRecordReader::~TRecordReader() = default;

int TRecordReader::Open(const std::string& address) {
    F->Url = ResolveSourceAddress(address, "");
    TReadingSource source;
    try {
        source = StartReadingThread(F->Url, F->Context, MakeCacheFolder());
    } catch (const std::exception& e) {
        F->Failure = e.what();
        return srCannotOpen;
    }
    F->Fill = std::move(source.Thread);
    auto wake = [window = &F->Window] { window->Queue.Wake(); };
    F->Fill->SetPassListener(wake);
    F->Context.Frames.SetListener(wake);
    F->Fill->Open(source.Name);
    // A live source answers once its first key frame came; one that breaks
    // before that asks for a reconnect instead.
    auto deadline = TClock::now() + F->Limit;
    int code = srDisconnected;
    for (TMessage m;;) {
        if (!F->Window.Queue.TryGet(m)) {
            const auto now = TClock::now();
            // An index still coming in, however slowly, is no stalled source.
            deadline = std::max(deadline, F->LastByteAt(now) + F->Limit);
            if (now >= deadline) break;
            F->Window.Queue.WaitUntil(deadline);
            continue;
        }
        if (m.LParam != F->Fill->Tag()) continue;
        if (m.Msg == WM_OPENRESULT) {
            code = static_cast<int>(m.WParam);
            break;
        }
        if (m.Msg == WM_RECONNECT) break;
    }
    if (code != srOk) F->Stop(SourceFailureMessage(code, F->Url));
    F->LastProgress = TClock::now();
    return code;
}

const uint8_t* TRecordReader::Next() {
    TImpl& r = *F;
    if (r.Ended || !r.Fill) return nullptr;
    auto& frames = r.Context.Frames;
    if (r.DropAtNext) {
        // The caller is done with the record handed out last.
        int32_t last = r.NextIndex - 1;
        frames.DropBeforeKeyFrame(last);
        r.NextIndex = last + 1;
        r.DropAtNext = false;
    }
    for (;;) {
        // Read before the count: a source read through has delivered everything.
        const bool exhausted = r.Fill->Exhausted();
        const bool damaged = r.Fill->Damaged();
        const auto now = TClock::now();
        if (r.NextIndex < frames.Count()) return r.HandOut(now);
        if (damaged)
            return r.Stop("a damaged record follows record " + std::to_string(r.Delivered));
        if (exhausted && r.Fill->CutShort())
            return r.Stop("record " + std::to_string(r.Delivered) +
                          " runs past the end of the sample area at byte " +
                          std::to_string(SampleAreaEnd(r.Context.Header)));
        if (exhausted) return r.Stop("");
        // Bytes still coming in, however slowly, are progress before they make a record.
        r.LastProgress = std::max(r.LastProgress, r.LastByteAt(now));
        if (now - r.LastProgress >= r.Limit)
            return r.Stop("the source stopped delivering after " + std::to_string(r.Delivered) +
                          " records");
        // Late open results and reconnect requests: reading goes on until the limit.
        TMessage m;
        while (r.Window.Queue.TryGet(m))
            continue;
        if (r.Ask(now)) continue;
        auto until = r.LastProgress + r.Limit;
        if (r.RetryAt) until = std::min(until, *r.RetryAt);
        r.Window.Queue.WaitUntil(until);
    }
}

const std::string& TRecordReader::Failure() const {
    return F->Failure;
}

const TKivFileHeader& TRecordReader::Header() const {
    return F->Context.Header;
}

int64_t TRecordReader::BufferedBytes() const {
    return F->Context.Frames.ByteCount();
}

} // namespace kiv
