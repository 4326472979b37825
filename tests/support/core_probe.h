// Tests look inside the control core, which hosts cannot.
#pragma once

#include "control/core_impl.h"

namespace kiv {

class TKivPlayerCoreProbe {
public:
    static TFillThread* Fill(TKivPlayerCore& c) { return c.FCore->FFillThread.get(); }
    static TPlayThread* Play(TKivPlayerCore& c) { return c.FCore->FPlayThread.get(); }
    static TPlayContext& Context(TKivPlayerCore& c) { return c.FCore->FContext; }
};

} // namespace kiv
