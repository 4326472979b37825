// The value types of the automation interface, as hosts bind to them.
#pragma once

#include "control/control_types.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kiv {

using DISPID = int32_t;
constexpr DISPID DISPID_UNKNOWN = -1;

// A boolean as automation has it: -1 true, 0 false; its own type so that it
// never passes for a 16-bit integer.
enum VARIANT_BOOL : int16_t { VARIANT_FALSE = 0, VARIANT_TRUE = -1 };
inline VARIANT_BOOL ToVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}
// Any non-zero low 16 bits are true.
inline bool FromVariantBool(int32_t v) {
    return (v & 0xFFFF) != 0;
}

using OLE_COLOR = uint32_t;

constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);

enum TxActiveFormBorderStyle : int32_t { afbNone = 0, afbSingle = 1, afbSunken = 2, afbRaised = 3 };
enum TxPrintScale : int32_t { poNone = 0, poProportional = 1, poPrintToFit = 2 };
enum TxMouseButton : int32_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// The font object behind the Font property.
struct IFontDisp {
    std::string Name = "MS Sans Serif";
    int32_t Size = 8; // points
    bool Bold = false, Italic = false, Underline = false, Strikethrough = false;
    int16_t Charset = 1; // DEFAULT_CHARSET
};
using TFontRef = std::shared_ptr<IFontDisp>;

// Red and blue exchanged, the top byte lost: 0x00RRGGBB <-> the system's 0x00BBGGRR.
constexpr uint32_t SwapRedBlue(uint32_t v) {
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

} // namespace kiv
