// Thread messages of the play thread and the window messages the threads post.
#pragma once

#include "platform/bitmap24.h"
#include "platform/message_queue.h"

namespace kiv {

// To the play thread.
constexpr uint32_t WM_PLAY = 0x401;
constexpr uint32_t WM_PAUSE = 0x402;
constexpr uint32_t WM_STOPPLAY = 0x404;
constexpr uint32_t WM_SETPOSITION = 0x405;
// WM_DRAWTO (0x406) comes from the reading threads (sources/messages.h).
constexpr uint32_t WM_SCANFORWARD = 0x407;
constexpr uint32_t WM_CONTINUE = 0x408;
constexpr uint32_t WM_REPAINT = 0x409;

// To the control's window.
constexpr uint32_t WM_EXITFULLSCREEN = WM_USER + 5;
constexpr uint32_t WM_PICTURECHANGED = WM_USER + 6;
// WM_RECONNECT (WM_USER + 7) comes from the live reading threads.
constexpr uint32_t WM_ENTERFULLSCREEN = WM_USER + 8;
constexpr uint32_t WM_SAMPLENOTICE = WM_USER + 9;
constexpr uint32_t WM_REFRESHPICTURE = WM_USER + 10;
// WM_OPENRESULT (WM_USER + 11) comes from the reading threads.
constexpr uint32_t WM_POSITIONCHANGED = WM_USER + 16;

inline intptr_t PackPoint(int32_t x, int32_t y) {
    return static_cast<intptr_t>(x) * 65536 + y;
}
inline TRect UnpackRect(intptr_t wParam, intptr_t lParam) {
    return {static_cast<int32_t>(wParam >> 16), static_cast<int32_t>(wParam & 0xFFFF),
            static_cast<int32_t>(lParam >> 16), static_cast<int32_t>(lParam & 0xFFFF)};
}

} // namespace kiv
