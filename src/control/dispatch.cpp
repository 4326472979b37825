#include "control/dispatch.h"

#include "platform/parse.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <type_traits>
#include <utility>

namespace kiv {
namespace {

// Values to and from variants, by the member's own parameter type.
TVariant ToVariant(VARIANT_BOOL v) {
    return TVariant::Bool(v != VARIANT_FALSE);
}
TVariant ToVariant(int16_t v) {
    return TVariant::I2(v);
}
TVariant ToVariant(const std::string& v) {
    return TVariant::Str(v);
}
TVariant ToVariant(const TFontRef& v) {
    return TVariant::Object(v);
}
TVariant ToVariant(double v) {
    return TVariant::R8(v);
}
template <class T>
requires(std::is_integral_v<T> || std::is_enum_v<T>) TVariant ToVariant(T v) {
    return TVariant::I4(static_cast<int32_t>(v));
}

bool FromVariant(const TVariant& v, VARIANT_BOOL& out) {
    bool b = false;
    if (!CoerceToBool(v, b)) return false;
    out = ToVariantBool(b);
    return true;
}
bool FromVariant(const TVariant& v, int16_t& out) {
    int32_t i = 0;
    if (!CoerceToInt(v, i) || i < INT16_MIN || i > INT16_MAX) return false;
    out = static_cast<int16_t>(i);
    return true;
}
bool FromVariant(const TVariant& v, std::string& out) {
    return CoerceToText(v, out);
}
bool FromVariant(const TVariant& v, double& out) {
    return CoerceToReal(v, out);
}
bool FromVariant(const TVariant& v, TFontRef& out) {
    if (v.Type != VT_DISPATCH || !v.Font) return false;
    out = v.Font;
    return true;
}
template <class T>
requires(std::is_integral_v<T> || std::is_enum_v<T>) bool FromVariant(const TVariant& v, T& out) {
    int32_t i = 0;
    if (!CoerceToInt(v, i)) return false;
    out = static_cast<T>(i);
    return true;
}

// A member function's interface and its one parameter.
template <class> struct TOut;
template <class I, class A> struct TOut<HRESULT (I::*)(A*)> { using Type = A; };
template <class> struct TIn;
template <class I, class A> struct TIn<HRESULT (I::*)(A)> { using Type = std::remove_cvref_t<A>; };
template <class> struct TFaceOf;
template <class I, class... A> struct TFaceOf<HRESULT (I::*)(A...)> { using Type = I; };
template <auto M> using TFace = typename TFaceOf<decltype(M)>::Type;

template <auto G> HRESULT Get(TFace<G>& p, TVariant& out) {
    typename TOut<decltype(G)>::Type v{};
    const HRESULT hr = (p.*G)(&v);
    if (hr == S_OK) out = ToVariant(v);
    return hr;
}
template <auto P> HRESULT Put(TFace<P>& p, const TVariant& in) {
    typename TIn<decltype(P)>::Type v{};
    if (!FromVariant(in, v)) return DISP_E_TYPEMISMATCH;
    return (p.*P)(v);
}
template <auto M> HRESULT Call0(TFace<M>& p, const std::vector<TVariant>& args) {
    return args.empty() ? (p.*M)() : DISP_E_BADPARAMCOUNT;
}
template <auto M> HRESULT Call1(TFace<M>& p, const std::vector<TVariant>& args) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    std::string text;
    if (!CoerceToText(args[0], text)) return DISP_E_TYPEMISMATCH;
    return (p.*M)(text);
}

// The listing's names of the member types that IDL spells otherwise.
const char* IdlType(std::string_view type) {
    constexpr std::pair<std::string_view, const char*> kNames[] = {
        {"std::string", "BSTR"},
        {"int32_t", "long"},
        {"int16_t", "short"},
        {"TFontRef", "IFontDisp*"},
    };
    for (const auto& [cpp, idl] : kNames)
        if (cpp == type) return idl;
    return type.data(); // a literal of the list
}

// The list's order is the function table's: each slot follows the one before.
#define KIV_READ(Name, Id, Slot, ...) Slot,
#define KIV_PROP(Name, Id, Slot, ...) Slot, Slot + 1,
#define KIV_CALL(Name, Id, Slot, ...) Slot,
constexpr bool SlotsFollowTheList() {
    constexpr int32_t kSlots[] = {KIV_PLAYER_MEMBERS(KIV_PROP, KIV_READ, KIV_CALL, KIV_CALL)};
    for (size_t i = 0; i < std::size(kSlots); ++i)
        if (kSlots[i] != static_cast<int32_t>(7 + i)) return false;
    return std::size(kSlots) == 65;
}
#undef KIV_READ
#undef KIV_PROP
#undef KIV_CALL
static_assert(SlotsFollowTheList(), "slots 7 to 71, in the order of the list");

template <class I>
HRESULT InvokeMember(I& target, const TMemberOf<I>* m, uint16_t kind,
                     const std::vector<TVariant>& args, TVariant* result) {
    if (!m) return DISP_E_MEMBERNOTFOUND;
    TVariant ignored;
    TVariant& out = result ? *result : ignored;
    out = {};
    try {
        if (m->Access == maMethod) {
            if (!(kind & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            return m->Call(target, args);
        }
        if (kind & DISPATCH_PROPERTYPUT) {
            if (!m->Put) return DISP_E_MEMBERNOTFOUND;
            return args.size() == 1 ? m->Put(target, args[0]) : DISP_E_BADPARAMCOUNT;
        }
        if (!(kind & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        return args.empty() ? m->Get(target, out) : DISP_E_BADPARAMCOUNT;
    } catch (const std::exception& e) {
        SetErrorInfo(e.what());
        return E_UNEXPECTED;
    }
}

} // namespace

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// KIV_FACE: the interface of the list being expanded.
// clang-format off
#define KIV_READ(Name, Id, Slot, Type, Param, Hidden)                                              \
    {#Name, Id, Slot, maRead, IdlType(#Type), #Param, Hidden,                                      \
     &Get<&KIV_FACE::get_##Name>, nullptr, nullptr},
#define KIV_PROP(Name, Id, Slot, Type, Param, Hidden)                                              \
    {#Name, Id, Slot, maReadWrite, IdlType(#Type), #Param, Hidden,                                 \
     &Get<&KIV_FACE::get_##Name>, &Put<&KIV_FACE::put_##Name>, nullptr},
#define KIV_CALL(Name, Id, Slot)                                                                   \
    {#Name, Id, Slot, maMethod, "", "", false, nullptr, nullptr, &Call0<&KIV_FACE::Name>},
#define KIV_CALL1(Name, Id, Slot, Param)                                                           \
    {#Name, Id, Slot, maMethod, "BSTR", #Param, false, nullptr, nullptr, &Call1<&KIV_FACE::Name>},
#define KIV_EVENT(Name, Id) {#Name, Id, "", false},
#define KIV_EVENT1(Name, Id, Type, Listed, Result)                                                 \
    {#Name, Id, Listed, std::is_same_v<Result, HRESULT>},
// clang-format on

#define KIV_FACE IKivPlayer
const std::vector<TMemberInfo>& KivPlayerMembers() {
    static const std::vector<TMemberInfo> kMembers = {
        KIV_PLAYER_MEMBERS(KIV_PROP, KIV_READ, KIV_CALL, KIV_CALL1)};
    return kMembers;
}

const std::vector<TEventInfo>& KivPlayerEvents() {
    static const std::vector<TEventInfo> kEvents = {KIV_PLAYER_EVENTS(KIV_EVENT, KIV_EVENT1)};
    return kEvents;
}
#undef KIV_FACE

#define KIV_FACE IKivPlayerNavigation
const std::vector<TNavigationMemberInfo>& NavigationMembers() {
    static const std::vector<TNavigationMemberInfo> kMembers = {
        KIV_NAVIGATION_MEMBERS(KIV_PROP, KIV_READ, KIV_CALL, KIV_CALL1)};
    return kMembers;
}

const std::vector<TEventInfo>& NavigationEvents() {
    static const std::vector<TEventInfo> kEvents = {KIV_NAVIGATION_EVENTS(KIV_EVENT, KIV_EVENT1)};
    return kEvents;
}
#undef KIV_FACE
#undef KIV_READ
#undef KIV_PROP
#undef KIV_CALL
#undef KIV_CALL1
#undef KIV_EVENT
#undef KIV_EVENT1

DISPID MemberIdOfName(std::string_view name) {
    return IdOfName(KivPlayerMembers(), name);
}

DISPID EventIdOfName(std::string_view name) {
    return IdOfName(KivPlayerEvents(), name);
}

const TMemberInfo* FindMember(DISPID id) {
    return FindById(KivPlayerMembers(), id);
}

const TEventInfo* FindEvent(DISPID id) {
    return FindById(KivPlayerEvents(), id);
}

bool CoerceToInt(const TVariant& v, int32_t& out) {
    switch (v.Type) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
        out = v.Int;
        return true;
    case VT_R8: // towards zero, as a script's number becomes an integer
        if (!(v.Real > -2147483649.0 && v.Real < 2147483648.0)) return false;
        out = static_cast<int32_t>(v.Real);
        return true;
    case VT_BYREF | VT_I2:
        if (!v.Ref) return false;
        out = *v.Ref;
        return true;
    case VT_BSTR: {
        std::string_view t = v.Text;
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        const bool negative = !t.empty() && t.front() == '-';
        if (negative) t.remove_prefix(1);
        uint64_t n = 0;
        if (!ParseDecimal(t, negative ? 0x80000000ull : 0xFFFFFFFFull, n)) return false;
        // An unsigned 32-bit text (a colour) keeps its bits.
        out = negative ? static_cast<int32_t>(-static_cast<int64_t>(n)) : static_cast<int32_t>(n);
        return true;
    }
    default:
        return false;
    }
}

bool CoerceToBool(const TVariant& v, bool& out) {
    if (v.Type == VT_BSTR) {
        if (SameName(v.Text, "true")) return out = true, true;
        if (SameName(v.Text, "false")) return out = false, true;
    }
    int32_t i = 0;
    if (!CoerceToInt(v, i)) return false;
    out = FromVariantBool(i);
    return true;
}

bool CoerceToText(const TVariant& v, std::string& out) {
    switch (v.Type) {
    case VT_BSTR:
        out = v.Text;
        return true;
    case VT_BOOL:
        out = v.Int ? "True" : "False";
        return true;
    case VT_I2:
    case VT_I4:
        out = std::to_string(v.Int);
        return true;
    default:
        return false;
    }
}

bool CoerceToReal(const TVariant& v, double& out) {
    if (v.Type == VT_R8) {
        out = v.Real;
        return true;
    }
    int32_t i = 0;
    if (!CoerceToInt(v, i)) return false;
    out = i;
    return true;
}

HRESULT Invoke(IKivPlayer& target, DISPID id, uint16_t kind, const std::vector<TVariant>& args,
               TVariant* result) {
    return InvokeMember(target, FindMember(id), kind, args, result);
}

HRESULT InvokeNavigation(IKivPlayerNavigation& target, DISPID id, uint16_t kind,
                         const std::vector<TVariant>& args, TVariant* result) {
    return InvokeMember(target, FindById(NavigationMembers(), id), kind, args, result);
}

HRESULT Invoke(IKivPlayer& player, IKivPlayerNavigation& navigation, DISPID id, uint16_t kind,
               const std::vector<TVariant>& args, TVariant* result) {
    return FindById(NavigationMembers(), id) ? InvokeNavigation(navigation, id, kind, args, result)
                                             : Invoke(player, id, kind, args, result);
}

void TEventDispatcher::Fire(DISPID id, std::vector<TVariant> args) {
    if (FSink) FSink->Invoke(id, args);
}

void TEventDispatcher::Fire(DISPID id, int16_t& key) {
    if (!FSink) return;
    int16_t value = key;
    std::vector<TVariant> args{TVariant::ByRef(&value)};
    FSink->Invoke(id, args);
    key = static_cast<int16_t>(value & 0xFF);
}

} // namespace kiv
