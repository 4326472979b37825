#include "sources/multicast_stream.h"

#include "codec/kivdecoder.h"
#include "net/address.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "platform/interfaces.h"
#include "platform/tick.h"

#include <algorithm>

namespace kiv {
namespace {

constexpr const char* kUnit = "KivPlayer/UnitFillThread";
// With every receiver empty, the thread waits this long (or for a message).
constexpr int64_t kIdleWaitMs = 10;

} // namespace

TKivMulticastStream::TKivMulticastStream(TPlayContext* context)
    : TKivMulticastStream(context, SelectInterfaces(ReadInterfaceTable(), kMaxReceivers)) {}

TKivMulticastStream::TKivMulticastStream(TPlayContext* context, std::vector<std::string> addresses)
    : TLiveSource(context), FAddresses(std::move(addresses)) {
    if (FAddresses.size() > kMaxReceivers) FAddresses.resize(kMaxReceivers);
    for (size_t i = 0; i < FAddresses.size(); ++i)
        FReceivers[i] = std::make_unique<TReceiveThread>();
}

TKivMulticastStream::~TKivMulticastStream() {
    // The reading thread uses the receivers until it has ended.
    Destroy();
    for (auto& r : FReceivers)
        r.reset();
}

void TKivMulticastStream::HandleOpen() {
    KIV_ASSERT(FState == lsNotOpened, kUnit);
    FSourceKind = skMulticast;
    const TMulticastAddress address = ReadMulticastFile(FAddress);
    if (!address.Usable() || FAddresses.empty()) {
        // With no interface to receive on, the file is as good as unusable.
        if (address.Usable())
            DebugLog("TKivMulticastStream.HandleOpen: no network interface to receive on");
        PostOpenResult(srBadMulticastFile);
        FState = lsWaitingKeyFrame;
        return;
    }
    for (size_t i = 0; i < FAddresses.size(); ++i) {
        TReceiveThread& r = *FReceivers[i];
        r.SetLocalAddress(FAddresses[i]);
        r.SetGroup(address.Group);
        r.SetPort(static_cast<uint32_t>(address.Port));
        r.Start();
    }
    FState = lsWaitingKeyFrame;
    // The control hears that the source is open when the first key frame comes.
    Fill(-1);
}

bool TKivMulticastStream::PassInterrupted() {
    // Only the front message can be seen: plain requests for more data there are
    // served by the pass under way and taken off, or they would hide a stop or a
    // quit behind them for as long as the stream runs.
    TMessage m;
    while (PeekMessage(m)) {
        if (m.Msg != WM_READ || m.WParam >= 0) return true;
        TryGetMessage(m);
    }
    return false;
}

void TKivMulticastStream::HandleRead(int32_t target) {
    KIV_ASSERT(FState != lsNotOpened, kUnit);
    const size_t count = FAddresses.size();
    // No receivers: the open was answered with code 9.
    if (count == 0) return;
    FReading = true;
    bool found = false;
    std::string failure;
    FStartTick = GetTickMs();
    FTotalBytes = 0;
    uint64_t total = 0; // 32 bits would wrap within a minute at a gigabit
    size_t cursor = 0, empty = 0;
    // A sample the frames buffer had no room for was dropped: the ones after it
    // mean nothing until the next key frame.
    bool resync = false, told = false;
    try {
        while (!PassInterrupted()) {
            if (FState == lsStopped) {
                for (size_t i = 0; i < count; ++i)
                    FReceivers[i]->Start();
                FState = lsStreaming;
            }
            // One sample per receiver in turn.
            TSampleBlock block = FReceivers[cursor]->Pop();
            cursor = (cursor + 1) % count;
            if (!block) {
                // Wait only when a whole round found nothing, so that a receiver
                // with nothing to deliver does not hold back the others.
                if (++empty >= count) {
                    empty = 0;
                    WaitMessageFor(kIdleWaitMs);
                }
                continue;
            }
            empty = 0;
            total += SampleRecordSize(block.get());
            FTotalBytes = static_cast<int32_t>(std::min<uint64_t>(total, INT32_MAX));
            FLastTick = GetTickMs();
            if (FLastTick - FStartTick >= 1000)
                FBitRate = static_cast<int32_t>(
                    std::min<uint64_t>(total * 8 / (FLastTick - FStartTick), INT32_MAX));
            // Datagrams do not wait: what the buffer cannot hold is dropped.
            if (!FContext->Frames.HasRoom()) {
                if (!told)
                    DebugLog("TKivMulticastStream.HandleRead: the frames buffer is at its limit; "
                             "samples are dropped until the next key frame");
                told = true;
                resync = FState == lsStreaming;
                continue;
            }
            if (resync && SampleKind(block.get()) != skKeyFrame) continue;
            resync = false;
            TakeRecord(std::move(block), target, found);
        }
    } catch (const std::exception& e) {
        failure = std::string("TKivMulticastStream.HandleRead raise exception :") + e.what();
    }
    if (!failure.empty()) {
        DebugLog(failure);
        FState = lsNotOpened;
        if (FContext->Window) FContext->Window->Post(WM_RECONNECT, 1, Tag());
    }
    FReading = false;
}

void TKivMulticastStream::HandleStop() {
    for (size_t i = 0; i < FAddresses.size(); ++i)
        FReceivers[i]->StopReceiving();
    FState = lsStopped;
}

} // namespace kiv
