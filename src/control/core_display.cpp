// Display modes, the picture views read, and the statistics figures.
#include "control/core_impl.h"

#include <mutex>

namespace kiv {

void TCore::ApplyDisplayMode() {
    const int32_t w = FContext.Header.Width, h = FContext.Header.Height;
    if (FDisplayMode == dmFull) {
        FView->ShowFullScreen(w, h);
        FFullScreenShown = true;
        return;
    }
    FView->ShowInFrame(w, h, FDisplayMode);
    if (FFullScreenShown) {
        FFullScreenShown = false;
        FView->CloseFullScreen();
    }
}

void TCore::RefreshPicture() {
    if (FPlayThread) FPlayThread->Repaint();
}

// Without a play thread the mode is only recorded; the next open applies it.
void TCore::ChangeDisplayMode(TDisplayMode mode) {
    FDisplayMode = mode;
    if (FPlayThread) {
        ApplyDisplayMode();
        RefreshPicture();
    }
    FEvents->OnDisplayModeChanged(FDisplayMode);
}

void TCore::ChooseFrameMode(TDisplayMode mode) {
    if (FDisplayMode != mode) ChangeDisplayMode(mode);
}

void TCore::ChooseFullScreen() {
    if (FDisplayMode == dmFull) return;
    FSavedDisplayMode = FDisplayMode;
    ChangeDisplayMode(dmFull);
}

void TCore::LeaveFullScreen() {
    if (FDisplayMode != dmFull) return;
    FDisplayMode = FSavedDisplayMode;
    FView->ShowInFrame(FContext.Header.Width, FContext.Header.Height, FDisplayMode);
    if (FFullScreenShown) {
        FFullScreenShown = false;
        FView->CloseFullScreen();
    }
    RefreshPicture();
    FEvents->OnDisplayModeChanged(FDisplayMode);
}

void TCore::FullScreenClosed() {
    // Gone already: it must be neither painted nor freed again.
    FFullScreenShown = false;
    LeaveFullScreen();
}

HRESULT TCore::GetDisplayMode(TDisplayMode* mode) {
    *mode = FDisplayMode;
    return S_OK;
}

HRESULT TCore::SetDisplayMode(int32_t mode) {
    try {
        if (mode == FDisplayMode) return S_OK;
        if (mode == dmAdaptive || mode == dmOriginal)
            ChooseFrameMode(static_cast<TDisplayMode>(mode));
        else if (mode == dmFull)
            ChooseFullScreen();
        return S_OK;
    } catch (const std::exception& e) {
        SetErrorInfo(e.what());
        return E_UNEXPECTED;
    }
}

HRESULT TCore::GetFullScreen(bool* on) {
    *on = FDisplayMode == dmFull;
    return S_OK;
}

HRESULT TCore::SetFullScreen(bool on) {
    return on ? SetDisplayMode(dmFull) : S_OK;
}

TStatistics TCore::Statistics() const {
    TStatistics s;
    const TFramesBuffer& frames = FContext.Frames;
    s.FirstTimeStamp = frames.FirstTimeStamp();
    s.LastTimeStamp = frames.LastTimeStamp();
    s.Samples = frames.Count();
    s.Bytes = static_cast<uint64_t>(frames.ByteCount());
    s.Duration = FContext.Header.Duration;
    s.HeaderPosition = FContext.Header.HeaderPosition;
    s.IndexEntries = FContext.IndexTable.Count();
    // The reading thread is the core's own: it lives until the core frees it.
    if (const TFillThread* fill = FFillThread.get()) {
        s.Reading = true;
        s.Bytes += fill->BufferUsed();
        s.BitRate = fill->BitRate();
        s.Live = fill->SourceKind() == skLive || fill->SourceKind() == skMulticast;
        s.QuietMs = fill->Progress().QuietMs();
    }
    if (FPlayThread) {
        s.Skipped = FPlayThread->SkippedSamples();
        s.Lag = FPlayThread->Lag();
    }
    s.Rate = FRate;
    return s;
}

TBackBuffer* TCore::TPicture::Back() const {
    TBackBuffer* back = FCore.FPlayThread ? FCore.FPlayThread->BackBuffer() : nullptr;
    return back && back->Initialized() ? back : nullptr;
}

bool TCore::TPicture::Initialized() const {
    return Back() != nullptr;
}

// The picture's size is fixed once its first key frame is composed.
int32_t TCore::TPicture::Width() const {
    const TBackBuffer* back = Back();
    return back ? back->Width() : 0;
}

int32_t TCore::TPicture::Height() const {
    const TBackBuffer* back = Back();
    return back ? back->Height() : 0;
}

bool TCore::TPicture::Read(const std::function<void(const TBitmap24&)>& read) const {
    TBackBuffer* back = Back();
    if (!back) return false;
    std::lock_guard guard(back->Lock());
    read(back->Picture());
    return true;
}

bool TCore::TPicture::ReadWithoutPointer(const std::function<void(const TBitmap24&)>& read) const {
    TBackBuffer* back = Back();
    if (!back) return false;
    std::lock_guard guard(back->Lock());
    back->ReadWithoutPointer(read);
    return true;
}

} // namespace kiv
