#include "nails/nails_layout.h"

#include "nails/nail_block.h"
#include "nails/nails_creator.h"
#include "platform/kiv_messages.h"

#include <chrono>
#include <thread>

namespace kiv {

TNailsLayout::TNailsLayout(TWindowTarget& target, TEvent* layoutEvent)
    : FTarget(target), FEvent(layoutEvent ? *layoutEvent : LayoutNailEvent()) {
    Start();
}

TNailsLayout::~TNailsLayout() {
    Quit();
    WaitFor();
}

bool TNailsLayout::RequestLayout(int32_t count) {
    while (!Post(WM_LAYOUTNAILS, count, 0)) {
        if (Finished()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void TNailsLayout::Execute() {
    SetLowestThreadPriority();
    TMessage m;
    while (GetMessage(m)) {
        if (m.Msg != WM_LAYOUTNAILS) continue;
        intptr_t count = m.WParam;
        for (intptr_t i = 1; i < count; ++i) {
            TMessage next;
            if (TryGetMessage(next)) {
                if (next.Msg != WM_LAYOUTNAILS) return; // a quit or anything else ends the thread
                count = next.WParam;
                i = 0; // the run starts again at step 1
                continue;
            }
            if (FTarget.Post(WM_NAILLAYOUT, i, 0)) FEvent.Wait(kNailLayoutWaitMs);
        }
    }
}

} // namespace kiv
