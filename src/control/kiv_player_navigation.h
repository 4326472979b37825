// The second automation interface, for finding the moment: one list, as
// kiv_player_members.h has it and in its kinds, expanded the same ways into
// IKivPlayerNavigation, its member and event tables and the object's forwarding.
// Its DISPIDs are apart from IKivPlayer's so that one name space reaches both.
#pragma once

#include "control/ikivplayer.h"

// clang-format off
#define KIV_NAVIGATION_MEMBERS(PROP, READ, CALL, CALL1)                                           \
    PROP(Rate,                   301,  7, double,                  Value,        false)           \
    PROP(SkipIdle,               302,  9, VARIANT_BOOL,            Value,        false)           \
    PROP(IdleThreshold,          303, 11, int32_t,                 Milliseconds, false)           \
    PROP(IdleCap,                304, 13, int32_t,                 Milliseconds, false)           \
    PROP(PauseOnMarker,          305, 15, VARIANT_BOOL,            Value,        false)           \
    CALL(NextMarker,             306, 17)                                                         \
    CALL(PreviousMarker,         307, 18)                                                         \
    READ(MarkerCount,            308, 19, int32_t,                 Value,        false)           \
    /* One "time,text" line a marker, in time order. */                                          \
    READ(Markers,                309, 20, std::string,             Value,        false)

#define KIV_NAVIGATION_EVENTS(EVENT, EVENT1)                                                      \
    EVENT1(OnMarker,             310, int32_t,      "[in] long Milliseconds",    HRESULT)
// clang-format on

namespace kiv {

class IKivPlayerNavigation {
public:
    virtual ~IKivPlayerNavigation() = default;

    KIV_NAVIGATION_MEMBERS(KIV_DECLARE_PROP, KIV_DECLARE_READ, KIV_DECLARE_CALL, KIV_DECLARE_CALL1)
};

// clang-format off
#define KIV_EVENT1(Name, Id, Type, Listed, Result) virtual void Name(Type) {}
// clang-format on

// As IKivPlayerEvents: each does nothing unless overridden.
class IKivPlayerNavigationEvents {
public:
    virtual ~IKivPlayerNavigationEvents() = default;

    KIV_NAVIGATION_EVENTS(KIV_SKIP, KIV_EVENT1)
};
#undef KIV_EVENT1

} // namespace kiv
