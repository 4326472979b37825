// TNailsLayout: re-flows the strip one cell per WM_NAILLAYOUT after a width
// change. Each step waits for the control's acknowledgement on the layout
// event (at most 2000 ms), so at most one step is ever queued at the window.
#pragma once

#include "platform/event.h"
#include "platform/thread.h"
#include "platform/window_target.h"

namespace kiv {

constexpr int64_t kNailLayoutWaitMs = 2000;

class TNailsLayout : public TThread {
public:
    // Started at once at the lowest priority. The event defaults to the
    // process's "Layout Nail Event".
    explicit TNailsLayout(TWindowTarget& target, TEvent* layoutEvent = nullptr);
    // Posts a quit message and waits for the thread.
    ~TNailsLayout() override;
    // WM_LAYOUTNAILS with the cell count; a refused post is retried every 10 ms
    // while the thread runs. False once it has ended.
    bool RequestLayout(int32_t count);

protected:
    void Execute() override;

private:
    TWindowTarget& FTarget;
    TEvent& FEvent;
};

} // namespace kiv
