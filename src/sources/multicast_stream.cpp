#include "sources/multicast_stream.h"

#include "codec/kivdecoder.h"
#include "net/address.h"
#include "platform/debug_log.h"
#include "platform/dib_reader.h"
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
    : TFillThread(context), FAddresses(std::move(addresses)) {
    if (FAddresses.size() > kMaxReceivers) FAddresses.resize(kMaxReceivers);
    for (size_t i = 0; i < FAddresses.size(); ++i)
        FReceivers[i] = std::make_unique<TReceiveThread>();
    InitDecoder();
}

TKivMulticastStream::~TKivMulticastStream() {
    // The reading thread uses the receivers until it has ended.
    Destroy();
    for (auto& r : FReceivers)
        r.reset();
    UninitDecoder();
}

void TKivMulticastStream::HandleOpen() {
    KIV_ASSERT(FState == msNotOpened, kUnit);
    FSourceKind = skMulticast;
    const TMulticastAddress address = ReadMulticastFile(FAddress);
    if (!address.Usable() || FAddresses.empty()) {
        // With no interface to receive on, the file is as good as unusable.
        if (address.Usable())
            DebugLog("TKivMulticastStream.HandleOpen: no network interface to receive on");
        PostOpenResult(srBadMulticastFile);
        FState = msWaitingKeyFrame;
        return;
    }
    for (size_t i = 0; i < FAddresses.size(); ++i) {
        TReceiveThread& r = *FReceivers[i];
        r.SetLocalAddress(FAddresses[i]);
        r.SetGroup(address.Group);
        r.SetPort(static_cast<uint32_t>(address.Port));
        r.Start();
    }
    FState = msWaitingKeyFrame;
    // The control hears that the source is open when the first key frame comes.
    Fill(-1);
}

void TKivMulticastStream::LearnPictureSize(const uint8_t* keyFrame) {
    const TSampleHeader h = ParseSampleHeader(keyFrame);
    auto picture = std::make_unique_for_overwrite<uint8_t[]>(kDecodeBufferSize);
    const int32_t size =
        UnZipBuffer(keyFrame + kSampleHeaderSize, h.Length, static_cast<int16_t>(h.Compression),
                    picture.get(), kDecodeBufferSize);
    TDibInfo info;
    if (size <= 0 || !ReadDibInfo(picture.get(), static_cast<size_t>(size), info) ||
        info.Width <= 0 || info.Width > 0xFFFF || info.AbsHeight() == 0 ||
        info.AbsHeight() > 0xFFFF)
        throw EKivError("the first key frame holds no picture");
    FContext->Header.Width = static_cast<uint16_t>(info.Width);
    FContext->Header.Height = static_cast<uint16_t>(info.AbsHeight());
}

void TKivMulticastStream::TakeSample(TSampleBlock block, int32_t target, bool& found) {
    const uint32_t time = SampleTimeStamp(block.get());
    const bool key = SampleKind(block.get()) == skKeyFrame;
    auto& frames = FContext->Frames;
    if (FState == msWaitingKeyFrame) {
        // Nothing before the first key frame can be shown.
        if (!key) return;
        LearnPictureSize(block.get());
        frames.AddSample(std::move(block));
        FContext->IndexTable.AddEntry({time, 0});
        FState = msStreaming;
        PostOpenResult(srOk);
        return;
    }
    const int32_t index = frames.AddSample(std::move(block));
    if (target >= 0 && !found && static_cast<int32_t>(time) >= target) {
        PostDrawTo(index);
        found = true;
    }
    if (key) FContext->IndexTable.AddEntry({time, 0});
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
    KIV_ASSERT(FState != msNotOpened, kUnit);
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
    try {
        while (!PassInterrupted()) {
            if (FState == msStopped) {
                for (size_t i = 0; i < count; ++i)
                    FReceivers[i]->Start();
                FState = msStreaming;
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
            TakeSample(std::move(block), target, found);
        }
    } catch (const std::exception& e) {
        failure = std::string("TKivMulticastStream.HandleRead raise exception :") + e.what();
    }
    if (!failure.empty()) {
        DebugLog(failure);
        FState = msNotOpened;
        if (FContext->Window) FContext->Window->Post(WM_RECONNECT, 1, Tag());
    }
    FReading = false;
}

void TKivMulticastStream::HandleSeek(int32_t target) {
    // A live stream has no positions to go to: read towards the target.
    Fill(target);
}

void TKivMulticastStream::HandleReset() {
    auto& frames = FContext->Frames;
    int32_t last = frames.Count() - 1;
    if (last > 0) frames.DropBeforeKeyFrame(last);
}

void TKivMulticastStream::HandleStop() {
    for (size_t i = 0; i < FAddresses.size(); ++i)
        FReceivers[i]->StopReceiving();
    FState = msStopped;
}

} // namespace kiv
