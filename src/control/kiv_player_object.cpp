#include "control/kiv_player_object.h"

namespace kiv {

HRESULT TKivPlayerObject::put_Font(TFontRef Value) {
    if (!Value) {
        SetErrorInfo("Invalid font");
        return E_UNEXPECTED;
    }
    FForm.Font = std::move(Value);
    return S_OK;
}

HRESULT TKivPlayerObject::SendScript(const std::string&) {
    SetErrorInfo("Not Implement");
    return E_UNEXPECTED;
}

HRESULT TKivPlayerObject::get_Duration(int32_t* Value) {
    *Value = static_cast<int32_t>(FCore.Duration());
    return S_OK;
}

HRESULT TKivPlayerObject::get_ScreenBackgroundColor(int32_t* Value) {
    *Value = static_cast<int32_t>(SwapRedBlue(FScreenColor));
    return S_OK;
}

HRESULT TKivPlayerObject::put_ScreenBackgroundColor(int32_t Value) {
    FScreenColor = SwapRedBlue(static_cast<uint32_t>(Value));
    ScreenColorChanged(FScreenColor);
    return S_OK;
}

HRESULT TKivPlayerObject::get_NailBackgroundColor(int32_t* Value) {
    *Value = static_cast<int32_t>(SwapRedBlue(FNailColor));
    return S_OK;
}

HRESULT TKivPlayerObject::put_NailBackgroundColor(int32_t Value) {
    FNailColor = SwapRedBlue(static_cast<uint32_t>(Value));
    NailColorChanged(FNailColor);
    return S_OK;
}

HRESULT TKivPlayerObject::get_Max(int32_t* Value) {
    *Value = static_cast<int32_t>(FCore.Statistics().LastTimeStamp);
    return S_OK;
}

HRESULT TKivPlayerObject::get_Min(int32_t* Value) {
    *Value = static_cast<int32_t>(FCore.Statistics().FirstTimeStamp);
    return S_OK;
}

HRESULT TKivPlayerObject::get_FullScreen(VARIANT_BOOL* Value) {
    bool on = false;
    const HRESULT hr = FCore.GetFullScreen(&on);
    *Value = ToVariantBool(on);
    return hr;
}

HRESULT TKivPlayerObject::put_FullScreen(VARIANT_BOOL Value) {
    return FCore.SetFullScreen(FromVariantBool(Value));
}

HRESULT TKivPlayerObject::get_Status(TStatus* Value) {
    *Value = FCore.PlayState();
    return S_OK;
}

HRESULT TKivPlayerObject::get_AutoStart(VARIANT_BOOL* Value) {
    *Value = ToVariantBool(FCore.AutoStart());
    return S_OK;
}

HRESULT TKivPlayerObject::put_AutoStart(VARIANT_BOOL Value) {
    FCore.SetAutoStart(FromVariantBool(Value));
    return S_OK;
}

HRESULT TKivPlayerObject::get_KivWidth(int32_t* Value) {
    *Value = FCore.KivWidth();
    return S_OK;
}

HRESULT TKivPlayerObject::get_KivHeight(int32_t* Value) {
    *Value = FCore.KivHeight();
    return S_OK;
}

} // namespace kiv
