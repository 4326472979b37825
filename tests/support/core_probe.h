// Tests look inside the control core, which hosts cannot.
#pragma once

#include "control/kiv_player_core.h"

namespace kiv {

class TKivPlayerCoreProbe {
public:
    static TFillThread* Fill(TKivPlayerCore& c) { return c.FFillThread.get(); }
    static TPlayThread* Play(TKivPlayerCore& c) { return c.FPlayThread.get(); }
    static TPlayContext& Context(TKivPlayerCore& c) { return c.FContext; }
};

} // namespace kiv
