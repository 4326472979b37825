// Every message number of the player, thread and window messages alike. Each
// thread numbers its own requests from WM_USER up, so numbers repeat across
// receivers; the receiver is named in each group.
#pragma once

#include "platform/bitmap24.h"
#include "platform/message_queue.h"

#include <cstdint>

namespace kiv {

// To a reading thread.
constexpr uint32_t WM_OPEN = WM_USER + 1;
constexpr uint32_t WM_READ = WM_USER + 2;
constexpr uint32_t WM_SEEK = WM_USER + 3;
constexpr uint32_t WM_STOP = WM_USER + 4;
constexpr uint32_t WM_RESET = WM_USER + 5;

// To the play thread.
constexpr uint32_t WM_PLAY = WM_USER + 1;
constexpr uint32_t WM_PAUSE = WM_USER + 2;
constexpr uint32_t WM_STOPPLAY = WM_USER + 4;
constexpr uint32_t WM_SETPOSITION = WM_USER + 5; // wParam: the target, ms
constexpr uint32_t WM_DRAWTO = WM_USER + 6;      // from the reading threads: a sample index
constexpr uint32_t WM_SCANFORWARD = WM_USER + 7;
constexpr uint32_t WM_CONTINUE = WM_USER + 8;
constexpr uint32_t WM_REPAINT = WM_USER + 9;
constexpr uint32_t WM_SETRATE = WM_USER + 10; // wParam: the rate in thousandths
constexpr uint32_t WM_SETIDLE = WM_USER + 11; // the idle-skipping settings changed

// To the thumbnail layout thread: wParam the number of thumbnails.
constexpr uint32_t WM_LAYOUTNAILS = WM_USER + 400;

// To the control's window.
constexpr uint32_t WM_EXITFULLSCREEN = WM_USER + 5;
constexpr uint32_t WM_PICTURECHANGED =
    WM_USER + 6;                               // PackPoint(Left, Top), PackPoint(Right, Bottom)
constexpr uint32_t WM_RECONNECT = WM_USER + 7; // wParam 1; lParam the reading thread's tag
constexpr uint32_t WM_ENTERFULLSCREEN = WM_USER + 8;
constexpr uint32_t WM_SAMPLENOTICE = WM_USER + 9;
constexpr uint32_t WM_REFRESHPICTURE = WM_USER + 10;
constexpr uint32_t WM_OPENRESULT = WM_USER + 11;      // wParam the result code; lParam the tag
constexpr uint32_t WM_POSITIONCHANGED = WM_USER + 16; // wParam the position, ms
constexpr uint32_t WM_NAILCREATED =
    WM_USER + 100;                                // wParam a thumbnail block, owned by the receiver
constexpr uint32_t WM_NAILLAYOUT = WM_USER + 401; // wParam the layout step
// From the thumbnail download: pictures arrived in the cache folder, for the strip
// to load from there; lParam the download's tag.
constexpr uint32_t WM_NAILSDOWNLOADED = WM_USER + 101;

// Notices to the control's window, so hosts wait on messages instead of thread states.
// wParam the position, ms; lParam how many position requests have been taken.
constexpr uint32_t WM_POSITIONANSWERED = WM_USER + 20;
// A file recording played to its end: the last sample drawn, the source read through.
constexpr uint32_t WM_PLAYEDTOEND = WM_USER + 21;
// A virtual play clock holds before the sample of time stamp wParam.
constexpr uint32_t WM_CLOCKHELD = WM_USER + 22;
// The position while playing, wParam ms: at most one per kPositionNoticeMs of the clock.
constexpr uint32_t WM_PLAYPOSITION = WM_USER + 23;
constexpr uint32_t kPositionNoticeMs = 100;
// A marker was played past: wParam its time stamp, ms.
constexpr uint32_t WM_MARKERPASSED = WM_USER + 24;
// The activity scan of a local recording has ended.
constexpr uint32_t WM_ACTIVITYSCANNED = WM_USER + 25;
// A stepping play clock stands: the picture stays as it is from clock tick wParam
// until lParam; the play thread waits for WM_CONTINUE.
constexpr uint32_t WM_PICTURESTANDS = WM_USER + 26;

// A changed rectangle travels as two 16-bit pairs.
inline intptr_t PackPoint(int32_t x, int32_t y) {
    return static_cast<intptr_t>(x) * 65536 + y;
}
inline TRect UnpackRect(intptr_t wParam, intptr_t lParam) {
    return {static_cast<int32_t>((wParam >> 16) & 0xFFFF), static_cast<int32_t>(wParam & 0xFFFF),
            static_cast<int32_t>((lParam >> 16) & 0xFFFF), static_cast<int32_t>(lParam & 0xFFFF)};
}

} // namespace kiv
