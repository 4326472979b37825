// The window messages of the control: one table from number to handler.
#include "control/core_impl.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"

#include <algorithm>

namespace kiv {

struct TCore::THandler {
    uint32_t Msg;
    void (TCore::*Handle)(const TMessage&);
};

const TCore::THandler TCore::kHandlers[] = {
    {WM_EXITFULLSCREEN, &TCore::OnExitFullScreen},
    {WM_PICTURECHANGED, &TCore::OnPictureChanged},
    {WM_RECONNECT, &TCore::OnReconnect},
    {WM_ENTERFULLSCREEN, &TCore::OnEnterFullScreen},
    {WM_SAMPLENOTICE, &TCore::OnSampleNotice},
    {WM_REFRESHPICTURE, &TCore::OnRefreshPicture},
    {WM_OPENRESULT, &TCore::OnOpenResult},
    {WM_POSITIONCHANGED, &TCore::OnPositionChanged},
    {WM_NAILCREATED, &TCore::OnThumbnailMessage},
    {WM_NAILLAYOUT, &TCore::OnThumbnailMessage},
    {WM_NAILSDOWNLOADED, &TCore::OnThumbnailMessage},
    {WM_POSITIONANSWERED, &TCore::OnPositionAnswered},
    {WM_PLAYEDTOEND, &TCore::OnPlayedToEnd},
    {WM_CLOCKHELD, &TCore::OnClockHeld},
    {WM_PICTURESTANDS, &TCore::OnPictureStands},
    {WM_PLAYPOSITION, &TCore::OnPlayPosition},
    {WM_MARKERPASSED, &TCore::OnMarkerPassed},
    {WM_ACTIVITYSCANNED, &TCore::OnActivityScanned},
};

void TCore::HandleMessage(const TMessage& m) {
    const auto* h = std::find_if(std::begin(kHandlers), std::end(kHandlers),
                                 [&](const THandler& x) { return x.Msg == m.Msg; });
    if (h == std::end(kHandlers)) return;
    try {
        (this->*h->Handle)(m);
    } catch (const std::exception& e) {
        FView->ShowError(e.what(), TFailureKind::Player);
    }
}

void TCore::OnExitFullScreen(const TMessage&) {
    LeaveFullScreen();
}

void TCore::OnEnterFullScreen(const TMessage&) {
    ChooseFullScreen();
}

void TCore::OnRefreshPicture(const TMessage&) {
    RefreshPicture();
}

void TCore::OnPictureChanged(const TMessage& m) {
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

void TCore::OnReconnect(const TMessage& m) {
    if (m.WParam != 1 || !FFillThread || FFillThread->Tag() != m.LParam) return;
    Close();
    DebugLog(" Disconected, try connect again!");
    // Through the retry delay: a server that drops every connection at once must
    // not be reconnected to in a tight loop.
    ScheduleRetry();
}

void TCore::OnSampleNotice(const TMessage&) {
    FView->SampleNotice();
}

void TCore::OnPositionChanged(const TMessage& m) {
    // A seek: the view is told as well as the host.
    if (FPlayThread) TellPosition(static_cast<uint32_t>(m.WParam));
    FEvents->OnPositionChanged(static_cast<int32_t>(m.WParam));
}

void TCore::OnPlayPosition(const TMessage& m) {
    // Only while playing: a notice that crossed a pause or stop is stale.
    if (FPlayThread && (FStatus == vpPlaying || FStatus == vpScanForward))
        TellPosition(static_cast<uint32_t>(m.WParam));
}

void TCore::OnThumbnailMessage(const TMessage& m) {
    if (FOptions.Thumbnails) FOptions.Thumbnails->HandleMessage(m);
}

void TCore::OnMarkerPassed(const TMessage& m) {
    if (!FPlayThread) return;
    const auto ms = static_cast<uint32_t>(m.WParam);
    std::string text;
    for (const TMarker& marker : FContext.Activity.Markers())
        if (marker.Time == ms) text = marker.Text;
    FView->MarkerPassed(ms, text);
    if (FPauseOnMarker && FStatus == vpPlaying) Pause();
}

void TCore::OnActivityScanned(const TMessage&) {
    // A scan of a recording closed meanwhile is gone with it.
    if (FScan) FView->ActivityScanned();
}

void TCore::OnPositionAnswered(const TMessage& m) {
    // Only the answer to the newest request counts: the picture then shows it.
    if (!FPlayThread || static_cast<uint32_t>(m.LParam) != FPositionRequests) return;
    FView->PositionAnswered(static_cast<uint32_t>(m.WParam));
}

void TCore::OnPlayedToEnd(const TMessage& m) {
    if (!FPlayThread) return;
    TellPosition(static_cast<uint32_t>(m.WParam));
    FView->PlayedToEnd();
}

void TCore::OnClockHeld(const TMessage& m) {
    if (FPlayThread) FView->ClockHeld(static_cast<uint32_t>(m.WParam));
}

void TCore::OnPictureStands(const TMessage& m) {
    if (FPlayThread)
        FView->PictureStands(static_cast<uint32_t>(m.WParam), static_cast<uint32_t>(m.LParam));
}

} // namespace kiv
