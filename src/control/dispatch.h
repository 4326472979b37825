// Late binding: members and events found by name or DISPID and called over a small
// variant type, as a page's script reaches the control. Driven by the member table.
#pragma once

#include "control/ikivplayer.h"
#include "control/kiv_player_navigation.h"

#include <string>
#include <string_view>
#include <vector>

namespace kiv {

enum TVarType : uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_BYREF = 0x4000,
};

struct TVariant {
    uint16_t Type = VT_EMPTY;
    int32_t Int = 0;        // VT_I2, VT_I4, VT_BOOL (-1 or 0)
    std::string Text;       // VT_BSTR
    TFontRef Font;          // VT_DISPATCH
    int16_t* Ref = nullptr; // VT_BYREF | VT_I2
    double Real = 0;        // VT_R8

    static TVariant I2(int16_t v) { return {VT_I2, v, {}, {}, nullptr}; }
    static TVariant I4(int32_t v) { return {VT_I4, v, {}, {}, nullptr}; }
    static TVariant Bool(bool v) { return {VT_BOOL, v ? -1 : 0, {}, {}, nullptr}; }
    static TVariant Str(std::string v) { return {VT_BSTR, 0, std::move(v), {}, nullptr}; }
    static TVariant Object(TFontRef f) { return {VT_DISPATCH, 0, {}, std::move(f), nullptr}; }
    static TVariant ByRef(int16_t* v) { return {VT_BYREF | VT_I2, 0, {}, {}, v}; }
    static TVariant R8(double v) { return {VT_R8, 0, {}, {}, nullptr, v}; }
};

// Invoke's kinds, combinable as automation has them.
constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

enum TAccess : uint8_t { maRead, maReadWrite, maMethod };

// One member of an interface I: described once, called through its thunks.
template <class I> struct TMemberOf {
    const char* Name;
    DISPID DispId;
    int32_t Slot; // of the read or the method; a write follows at Slot + 1
    TAccess Access;
    const char* TypeName;  // of the value or the parameter, as the listing names it
    const char* ParamName; // "" for a method without one
    bool Hidden;
    HRESULT (*Get)(I&, TVariant&);
    HRESULT (*Put)(I&, const TVariant&);
    HRESULT (*Call)(I&, const std::vector<TVariant>&);
};
using TMemberInfo = TMemberOf<IKivPlayer>;
using TNavigationMemberInfo = TMemberOf<IKivPlayerNavigation>;

struct TEventInfo {
    const char* Name;
    DISPID DispId;
    const char* Params; // as the listing shows them
    bool ReturnsHresult;
};

// In table order.
const std::vector<TMemberInfo>& KivPlayerMembers();
const std::vector<TEventInfo>& KivPlayerEvents();
const std::vector<TNavigationMemberInfo>& NavigationMembers();
const std::vector<TEventInfo>& NavigationEvents();

// Without regard to letter case.
bool SameName(std::string_view a, std::string_view b);
// In any of the tables above: DISPID_UNKNOWN, or null, when none.
template <class T> DISPID IdOfName(const std::vector<T>& table, std::string_view name) {
    for (const T& m : table)
        if (SameName(m.Name, name)) return m.DispId;
    return DISPID_UNKNOWN;
}
template <class T> const T* FindById(const std::vector<T>& table, DISPID id) {
    for (const T& m : table)
        if (m.DispId == id) return &m;
    return nullptr;
}

// Without regard to letter case; DISPID_UNKNOWN when none.
DISPID MemberIdOfName(std::string_view name);
DISPID EventIdOfName(std::string_view name);
const TMemberInfo* FindMember(DISPID id);
const TEventInfo* FindEvent(DISPID id);

// IDispatch::Invoke on the control: args in positional order. A failure of the
// member gives E_UNEXPECTED with its text in GetErrorInfo(); the dispatch layer's
// own errors are DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH.
HRESULT Invoke(IKivPlayer& target, DISPID id, uint16_t kind, const std::vector<TVariant>& args,
               TVariant* result);
// Named apart: the object with both interfaces would make Invoke ambiguous.
HRESULT InvokeNavigation(IKivPlayerNavigation& target, DISPID id, uint16_t kind,
                         const std::vector<TVariant>& args, TVariant* result);
// An object with both interfaces: the member goes to the one whose table has it.
HRESULT Invoke(IKivPlayer& player, IKivPlayerNavigation& navigation, DISPID id, uint16_t kind,
               const std::vector<TVariant>& args, TVariant* result);

// The coercions automation performs; false when the value cannot be had.
bool CoerceToInt(const TVariant& v, int32_t& out);
bool CoerceToBool(const TVariant& v, bool& out);
bool CoerceToText(const TVariant& v, std::string& out);
bool CoerceToReal(const TVariant& v, double& out);

// Where events go by DISPID: a page's script, or any late-bound sink.
class IDispatchSink {
public:
    virtual ~IDispatchSink() = default;
    virtual HRESULT Invoke(DISPID id, std::vector<TVariant>& args) = 0;
};

// clang-format off
#define KIV_EVENT(Name, Id) void Name() override { Fire(Id, {}); }
#define KIV_EVENT1(Name, Id, Type, Listed, Result) void Name(Type v) override { Fire(Id, v); }
// clang-format on

// Turns the control's events into Invoke calls on a sink (none connected: nothing).
class TEventDispatcher : public IKivPlayerEvents, public IKivPlayerNavigationEvents {
public:
    void Connect(IDispatchSink* sink) { FSink = sink; }

    KIV_PLAYER_EVENTS(KIV_EVENT, KIV_EVENT1)
    KIV_NAVIGATION_EVENTS(KIV_EVENT, KIV_EVENT1)

private:
    void Fire(DISPID id, std::vector<TVariant> args);
    template <class T> void Fire(DISPID id, T v) { Fire(id, {TVariant::I4(v)}); }
    // By reference: the sink may change the key; its low byte is kept.
    void Fire(DISPID id, int16_t& key);

    IDispatchSink* FSink = nullptr;
};
#undef KIV_EVENT
#undef KIV_EVENT1

} // namespace kiv
