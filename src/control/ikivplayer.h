// IKivPlayer: the control's automation interface, its members declared from
// the list in the order of the interface's function table (slots 7 to 71,
// after IUnknown and IDispatch). Reads have one out-parameter; every member
// returns an HRESULT.
#pragma once

#include "control/automation_types.h"
#include "control/kiv_player_members.h"

#include <string>
#include <type_traits>

namespace kiv {

// What a write takes: texts by reference, everything else by value.
template <class T>
using TPutOf = std::conditional_t<std::is_same_v<T, std::string>, const std::string&, T>;

// Kept defined: the second interface declares its members with them too.
// clang-format off
#define KIV_DECLARE_READ(Name, Id, Slot, Type, Param, Hidden) virtual HRESULT get_##Name(Type* Param) = 0;
#define KIV_DECLARE_PROP(Name, Id, Slot, Type, Param, Hidden)                                      \
    KIV_DECLARE_READ(Name, Id, Slot, Type, Param, Hidden)                                          \
    virtual HRESULT put_##Name(TPutOf<Type> Param) = 0;
#define KIV_DECLARE_CALL(Name, Id, Slot) virtual HRESULT Name() = 0;
#define KIV_DECLARE_CALL1(Name, Id, Slot, Param) virtual HRESULT Name(const std::string& Param) = 0;
// clang-format on

class IKivPlayer {
public:
    virtual ~IKivPlayer() = default;

    KIV_PLAYER_MEMBERS(KIV_DECLARE_PROP, KIV_DECLARE_READ, KIV_DECLARE_CALL, KIV_DECLARE_CALL1)
};

} // namespace kiv
