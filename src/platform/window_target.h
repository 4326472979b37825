// Where worker threads post their notices: the control's window, or a headless queue.
#pragma once

#include "platform/message_queue.h"

#include <cstdint>

namespace kiv {

class TWindowTarget {
public:
    virtual ~TWindowTarget() = default;
    virtual bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) = 0;
};

// A window target for hosts without a toolkit: the host pumps the queue.
class TQueueWindow : public TWindowTarget {
public:
    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        return Queue.Post(msg, wParam, lParam);
    }
    TMessageQueue Queue;
};

} // namespace kiv
