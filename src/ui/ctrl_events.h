// Where the control's events go: the embedding program's sink, then a
// late-bound sink through the dispatch layer. The second sees the key the
// first left.
#pragma once

#include "control/dispatch.h"

namespace kiv::ui {

// clang-format off
#define KIV_EVENT(Name, Id)                                                                        \
    void Name() override { if (Host) Host->Name(); Dispatch.Name(); }
#define KIV_EVENT1(Name, Id, Type, Listed, Result)                                                 \
    void Name(Type v) override { if (Host) Host->Name(v); Dispatch.Name(v); }
// clang-format on

class TCtrlEvents : public IKivPlayerEvents {
public:
    // Both belong to the control's thread; Host may be null.
    IKivPlayerEvents* Host = nullptr;
    TEventDispatcher Dispatch; // connected when a host attaches an IDispatchSink

    KIV_PLAYER_EVENTS(KIV_EVENT, KIV_EVENT1)
};
#undef KIV_EVENT
#undef KIV_EVENT1

} // namespace kiv::ui
