// The window messages of the control: one table from number to handler.
#include "control/kiv_player_core.h"
#include "control/nail_block.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"

#include <algorithm>

namespace kiv {

struct TKivPlayerCore::THandler {
    uint32_t Msg;
    void (TKivPlayerCore::*Handle)(const TMessage&);
};

const TKivPlayerCore::THandler TKivPlayerCore::kHandlers[] = {
    {WM_EXITFULLSCREEN, &TKivPlayerCore::OnExitFullScreen},
    {WM_PICTURECHANGED, &TKivPlayerCore::OnPictureChanged},
    {WM_RECONNECT, &TKivPlayerCore::OnReconnect},
    {WM_ENTERFULLSCREEN, &TKivPlayerCore::OnEnterFullScreen},
    {WM_SAMPLENOTICE, &TKivPlayerCore::OnSampleNotice},
    {WM_REFRESHPICTURE, &TKivPlayerCore::OnRefreshPicture},
    {WM_OPENRESULT, &TKivPlayerCore::OnOpenResult},
    {WM_POSITIONCHANGED, &TKivPlayerCore::OnPositionChanged},
    {WM_NAILCREATED, &TKivPlayerCore::OnNailCreated},
    {WM_NAILLAYOUT, &TKivPlayerCore::OnNailLayout},
    {WM_NAILSDOWNLOADED, &TKivPlayerCore::OnNailsDownloaded},
    {WM_POSITIONANSWERED, &TKivPlayerCore::OnPositionAnswered},
    {WM_PLAYEDTOEND, &TKivPlayerCore::OnPlayedToEnd},
    {WM_CLOCKHELD, &TKivPlayerCore::OnClockHeld},
};

void TKivPlayerCore::HandleMessage(const TMessage& m) {
    const auto* h = std::find_if(std::begin(kHandlers), std::end(kHandlers),
                                 [&](const THandler& x) { return x.Msg == m.Msg; });
    if (h == std::end(kHandlers)) return;
    try {
        (this->*h->Handle)(m);
    } catch (const std::exception& e) {
        FView->ShowError(e.what());
    }
}

void TKivPlayerCore::OnExitFullScreen(const TMessage&) {
    LeaveFullScreen();
}

void TKivPlayerCore::OnEnterFullScreen(const TMessage&) {
    ChooseFullScreen();
}

void TKivPlayerCore::OnRefreshPicture(const TMessage&) {
    RefreshPicture();
}

void TKivPlayerCore::OnPictureChanged(const TMessage& m) {
    if (!FPicture.Initialized()) return;
    TRect r = UnpackRect(m.WParam, m.LParam);
    // A rectangle queued before a reopen with a smaller picture stays inside this one.
    r.Right = std::min(r.Right, FPicture.Width());
    r.Bottom = std::min(r.Bottom, FPicture.Height());
    r.Left = std::min(r.Left, r.Right);
    r.Top = std::min(r.Top, r.Bottom);
    // The full-screen surface is the target only while the view holds one.
    if (FDisplayMode == dmFull && !FFullScreenShown) return;
    FView->PictureChanged(r, FDisplayMode, FPicture);
}

void TKivPlayerCore::OnReconnect(const TMessage& m) {
    if (m.WParam != 1 || !FFillThread || FFillThread->Tag() != m.LParam) return;
    Close();
    DebugLog(" Disconected, try connect again!");
    // Through the retry delay: a server that drops every connection at once must
    // not be reconnected to in a tight loop.
    ScheduleRetry();
}

void TKivPlayerCore::OnSampleNotice(const TMessage&) {
    FView->SampleNotice();
}

void TKivPlayerCore::OnPositionChanged(const TMessage& m) {
    FEvents->OnPositionChanged(static_cast<int32_t>(m.WParam));
}

void TKivPlayerCore::OnNailCreated(const TMessage& m) {
    const TNailBlock block = AdoptNailBlock(m.WParam); // freed whatever happens
    if (!block) return;
    std::string path;
    uint32_t seconds = 0;
    ReadNailBlock(block.get(), path, seconds);
    FView->AddThumbnail(path, seconds, m.LParam);
}

void TKivPlayerCore::OnNailLayout(const TMessage& m) {
    // The layout thread waits for this step; it is released even when the step fails.
    struct TRelease {
        ~TRelease() { LayoutNailEvent().Signal(); }
    } release;
    FView->LayoutThumbnails(static_cast<int32_t>(m.WParam));
}

void TKivPlayerCore::OnNailsDownloaded(const TMessage& m) {
    FView->ThumbnailsDownloaded(m.LParam);
}

void TKivPlayerCore::OnPositionAnswered(const TMessage& m) {
    // Only the answer to the newest request counts: the picture then shows it.
    if (!FPlayThread || static_cast<uint32_t>(m.LParam) != FPositionRequests) return;
    FView->PositionAnswered(static_cast<uint32_t>(m.WParam));
}

void TKivPlayerCore::OnPlayedToEnd(const TMessage&) {
    if (FPlayThread) FView->PlayedToEnd();
}

void TKivPlayerCore::OnClockHeld(const TMessage& m) {
    if (FPlayThread) FView->ClockHeld(static_cast<uint32_t>(m.WParam));
}

} // namespace kiv
