// Thread messages of the reading threads, and what they post to others.
#pragma once

#include "platform/message_queue.h"

namespace kiv {

// To a reading thread.
constexpr uint32_t WM_OPEN = WM_USER + 1;
constexpr uint32_t WM_READ = WM_USER + 2;
constexpr uint32_t WM_SEEK = WM_USER + 3;
constexpr uint32_t WM_STOP = WM_USER + 4;
constexpr uint32_t WM_RESET = WM_USER + 5;

// To the play thread: the index of the sample to show.
constexpr uint32_t WM_DRAWTO = WM_USER + 6;

// To the control's window: wParam the result code, lParam the reading thread's tag.
constexpr uint32_t WM_OPENRESULT = WM_USER + 11;
// To the control's window: wParam 1, the live stream broke; lParam the thread's tag.
constexpr uint32_t WM_RECONNECT = WM_USER + 7;

// Source kinds.
enum TSourceKind : uint8_t { skNone = 0, skLocalFile = 1, skHttp = 2, skLive = 3, skMulticast = 4 };

} // namespace kiv
