#include "sources/live_source.h"

#include "codec/kivdecoder.h"
#include "net/address.h"
#include "platform/dib_reader.h"
#include "platform/error.h"

namespace kiv {

TLiveSource::TLiveSource(TPlayContext* context) : TFillThread(context) {
    InitDecoder();
}

// The derived sources have ended the thread before this runs.
TLiveSource::~TLiveSource() {
    UninitDecoder();
}

void TLiveSource::HandleReset() {
    auto& frames = FContext->Frames;
    int32_t last = frames.Count() - 1;
    if (last > 0) frames.DropBeforeKeyFrame(last);
}

void TLiveSource::LearnPictureSize(const uint8_t* keyFrame) {
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
    // A live stream has no file header: nothing of an earlier file's may stay.
    FContext->Header = TKivFileHeader{};
    FContext->Header.Width = static_cast<uint16_t>(info.Width);
    FContext->Header.Height = static_cast<uint16_t>(info.AbsHeight());
}

void TLiveSource::TakeRecord(TSampleBlock record, int32_t target, bool& found) {
    const uint32_t time = SampleTimeStamp(record.get());
    const bool key = SampleKind(record.get()) == skKeyFrame;
    auto& frames = FContext->Frames;
    if (FState == lsWaitingKeyFrame) {
        // Nothing before the first key frame can be shown.
        if (!key) return;
        LearnPictureSize(record.get());
        FContext->Activity.Note(record.get());
        frames.AddSample(std::move(record));
        FContext->IndexTable.AddEntry({time, 0});
        FState = lsStreaming;
        PostOpenResult(srOk);
        return;
    }
    FContext->Activity.Note(record.get());
    const int32_t index = frames.AddSample(std::move(record));
    if (target >= 0 && !found && static_cast<int32_t>(time) >= target) {
        PostDrawTo(index);
        found = true;
    }
    if (key) FContext->IndexTable.AddEntry({time, 0});
}

bool TLiveSource::CutRecords(int32_t target, bool& found) {
    TSampleBlock record;
    for (;;) {
        if (!FContext->Frames.HasRoom()) return false;
        auto cut = FCutter.Next(record);
        if (cut == TRecordCutter::TCut::NeedMore) return true;
        if (cut == TRecordCutter::TCut::Damaged)
            throw EKivError("damaged record of " + std::to_string(FCutter.FrontSize()) + " bytes");
        TakeRecord(std::move(record), target, found);
    }
}

bool TLiveSource::WaitForRoom() {
    auto& frames = FContext->Frames;
    // Listening before looking: a trim in between still ends the wait.
    frames.SetRoomListener([this] { Wake(); });
    TMessage m;
    while (!frames.HasRoom() && !PeekMessage(m))
        WaitMessageUntil(TMessageQueue::TClock::time_point::max());
    frames.SetRoomListener({});
    return frames.HasRoom();
}

} // namespace kiv
