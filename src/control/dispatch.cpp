#include "control/dispatch.h"

#include "platform/parse.h"

#include <algorithm>
#include <cctype>
#include <type_traits>

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

template <class> struct TOut;
template <class A> struct TOut<HRESULT (IKivPlayer::*)(A*)> { using Type = A; };
template <class> struct TIn;
template <class A> struct TIn<HRESULT (IKivPlayer::*)(A)> { using Type = std::remove_cvref_t<A>; };

template <auto G> HRESULT Get(IKivPlayer& p, TVariant& out) {
    typename TOut<decltype(G)>::Type v{};
    const HRESULT hr = (p.*G)(&v);
    if (hr == S_OK) out = ToVariant(v);
    return hr;
}
template <auto P> HRESULT Put(IKivPlayer& p, const TVariant& in) {
    typename TIn<decltype(P)>::Type v{};
    if (!FromVariant(in, v)) return DISP_E_TYPEMISMATCH;
    return (p.*P)(v);
}
template <auto M> HRESULT Call0(IKivPlayer& p, const std::vector<TVariant>& args) {
    return args.empty() ? (p.*M)() : DISP_E_BADPARAMCOUNT;
}
template <auto M> HRESULT Call1(IKivPlayer& p, const std::vector<TVariant>& args) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    std::string text;
    if (!CoerceToText(args[0], text)) return DISP_E_TYPEMISMATCH;
    return (p.*M)(text);
}

#define KIV_RW(name, id, slot, type, hidden)                                                       \
    TMemberInfo {                                                                                  \
#name, id, slot, maReadWrite, type, "Value", hidden, &Get < &IKivPlayer::get_##name>,      \
            &Put < &IKivPlayer::put_##name>, nullptr                                               \
    }
#define KIV_R(name, id, slot, type, hidden)                                                        \
    TMemberInfo {                                                                                  \
#name, id, slot, maRead, type, "Value", hidden, &Get < &IKivPlayer::get_##name>, nullptr,  \
            nullptr                                                                                \
    }
#define KIV_CALL(name, id, slot)                                                                   \
    TMemberInfo {                                                                                  \
#name, id, slot, maMethod, "", "", false, nullptr, nullptr, &Call0 < &IKivPlayer::name>    \
    }
#define KIV_CALL1(name, id, slot, param)                                                           \
    TMemberInfo {                                                                                  \
#name, id, slot, maMethod, "BSTR", param, false, nullptr, nullptr,                         \
            &Call1 < &IKivPlayer::name>                                                            \
    }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

const std::vector<TMemberInfo>& KivPlayerMembers() {
    static const std::vector<TMemberInfo> kMembers = {
        KIV_RW(Visible, 1, 7, "VARIANT_BOOL", true),
        KIV_RW(AutoScroll, 2, 9, "VARIANT_BOOL", false),
        KIV_RW(AutoSize, 3, 11, "VARIANT_BOOL", false),
        KIV_RW(AxBorderStyle, 4, 13, "TxActiveFormBorderStyle", false),
        KIV_RW(Caption, -518, 15, "BSTR", false),
        KIV_RW(Color, -501, 17, "OLE_COLOR", false),
        KIV_RW(Font, -512, 19, "IFontDisp*", false),
        KIV_RW(KeyPreview, 5, 21, "VARIANT_BOOL", false),
        KIV_RW(PixelsPerInch, 6, 23, "long", false),
        KIV_RW(PrintScale, 7, 25, "TxPrintScale", false),
        KIV_RW(Scaled, 8, 27, "VARIANT_BOOL", false),
        KIV_R(Active, 9, 29, "VARIANT_BOOL", true),
        KIV_RW(DropTarget, 10, 30, "VARIANT_BOOL", true),
        KIV_RW(HelpFile, 11, 32, "BSTR", true),
        KIV_RW(DoubleBuffered, 12, 34, "VARIANT_BOOL", true),
        KIV_R(VisibleDockClientCount, 13, 36, "long", true),
        KIV_RW(Enabled, -514, 37, "VARIANT_BOOL", true),
        KIV_RW(Cursor, 14, 39, "short", false),
        KIV_CALL1(LoadFile, 15, 41, "Filename"),
        KIV_CALL1(SendScript, 16, 42, "Str"),
        KIV_CALL1(Open, 19, 43, "Filename"),
        KIV_RW(DisplayMode, 18, 44, "TDisplayMode", false),
        KIV_CALL(Play, 22, 46),
        KIV_CALL(Pause, 23, 47),
        KIV_CALL(Stop, 24, 48),
        KIV_CALL(Close, 25, 49),
        KIV_CALL(FastForward, 26, 50),
        KIV_CALL(FastReverse, 27, 51),
        TMemberInfo{"CurrentPosition", 28, 52, maReadWrite, "long", "Milliseconds", false,
                    &Get<&IKivPlayer::get_CurrentPosition>, &Put<&IKivPlayer::put_CurrentPosition>,
                    nullptr},
        KIV_R(Duration, 21, 54, "long", false),
        KIV_RW(ScreenBackgroundColor, 17, 55, "long", false),
        KIV_RW(NailBackgroundColor, 20, 57, "long", false),
        KIV_RW(LocalIP, 29, 59, "BSTR", false),
        KIV_R(Max, 201, 61, "long", false),
        KIV_R(Min, 202, 62, "long", false),
        KIV_RW(FullScreen, 203, 63, "VARIANT_BOOL", false),
        KIV_RW(URL, 204, 65, "BSTR", false),
        KIV_R(Status, 205, 67, "TStatus", false),
        KIV_RW(AutoStart, 206, 68, "VARIANT_BOOL", false),
        KIV_R(KivWidth, 207, 70, "long", false),
        KIV_R(KivHeight, 208, 71, "long", false),
    };
    return kMembers;
}

const std::vector<TEventInfo>& KivPlayerEvents() {
    static const std::vector<TEventInfo> kEvents = {
        {"OnActivate", 1, "", false},
        {"OnClick", 2, "", false},
        {"OnCreate", 3, "", false},
        {"OnDblClick", 5, "", false},
        {"OnDestroy", 6, "", false},
        {"OnDeactivate", 7, "", false},
        {"OnKeyPress", 11, "[in, out] short* Key", false},
        {"OnPaint", 16, "", false},
        {"OnSkip", 4, "[in] long Seconds", true},
        {"OnPlayStateChanged", 201, "[in] TStatus NewState", true},
        {"OnPositionChanged", 202, "[in] long NewPosition", true},
        {"OnDisplayModeChanged", 203, "[in] TDisplayMode NewMode", true},
    };
    return kEvents;
}

DISPID MemberIdOfName(std::string_view name) {
    for (const auto& m : KivPlayerMembers())
        if (SameName(m.Name, name)) return m.DispId;
    return DISPID_UNKNOWN;
}

DISPID EventIdOfName(std::string_view name) {
    for (const auto& e : KivPlayerEvents())
        if (SameName(e.Name, name)) return e.DispId;
    return DISPID_UNKNOWN;
}

const TMemberInfo* FindMember(DISPID id) {
    for (const auto& m : KivPlayerMembers())
        if (m.DispId == id) return &m;
    return nullptr;
}

const TEventInfo* FindEvent(DISPID id) {
    for (const auto& e : KivPlayerEvents())
        if (e.DispId == id) return &e;
    return nullptr;
}

bool CoerceToInt(const TVariant& v, int32_t& out) {
    switch (v.Type) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
        out = v.Int;
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

HRESULT Invoke(IKivPlayer& target, DISPID id, uint16_t kind, const std::vector<TVariant>& args,
               TVariant* result) {
    const TMemberInfo* m = FindMember(id);
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

void TEventDispatcher::Fire(DISPID id, std::vector<TVariant> args) {
    if (FSink) FSink->Invoke(id, args);
}

void TEventDispatcher::OnKeyPress(int16_t& key) {
    if (!FSink) return;
    int16_t value = key;
    std::vector<TVariant> args{TVariant::ByRef(&value)};
    FSink->Invoke(11, args);
    key = static_cast<int16_t>(value & 0xFF);
}

} // namespace kiv
