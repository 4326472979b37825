// The control as an automation object: IKivPlayer over the control core. The
// methods are the core's; the form's properties are kept here as values, and a
// widget that is the form overrides them to read and write itself.
#pragma once

#include "control/ikivplayer.h"
#include "control/kiv_player_core.h"
#include "control/kiv_player_navigation.h"

#include <type_traits>

namespace kiv {

// The methods are the core's members of the same name.
// clang-format off
#define KIV_CALL(Name, Id, Slot) HRESULT Name() override { return FCore.Name(); }
#define KIV_CALL1(Name, Id, Slot, Param)                                                           \
    HRESULT Name(const std::string& Param) override { return FCore.Name(Param); }
// The navigation properties are the core's Name() and SetName().
#define KIV_NAV_PROP(Name, Id, Slot, Type, Param, Hidden)                                         \
    HRESULT get_##Name(Type* Param) override { return Give(FCore.Name(), Param); }                \
    HRESULT put_##Name(Type Param) override {                                                      \
        return Take([this](auto v) { return FCore.Set##Name(v); }, Param);                         \
    }
// clang-format on

class TKivPlayerObject : public IKivPlayer, public IKivPlayerNavigation {
public:
    explicit TKivPlayerObject(TKivPlayerCore& core) : FCore(core) {}

    KIV_PLAYER_MEMBERS(KIV_SKIP, KIV_SKIP, KIV_CALL, KIV_CALL1)
    KIV_NAVIGATION_MEMBERS(KIV_NAV_PROP, KIV_SKIP, KIV_CALL, KIV_SKIP)

    HRESULT get_MarkerCount(int32_t* Value) override {
        return Read(static_cast<int32_t>(FCore.Markers().size()), Value);
    }
    HRESULT get_Markers(std::string* Value) override {
        Value->clear();
        for (const TMarker& m : FCore.Markers())
            *Value += std::to_string(m.Time) + "," + m.Text + "\n";
        return S_OK;
    }

    // The form.
    HRESULT get_Visible(VARIANT_BOOL* Value) override { return Read(FForm.Visible, Value); }
    HRESULT put_Visible(VARIANT_BOOL Value) override { return Write(FForm.Visible, Value); }
    HRESULT get_AutoScroll(VARIANT_BOOL* Value) override { return Read(FForm.AutoScroll, Value); }
    HRESULT put_AutoScroll(VARIANT_BOOL Value) override { return Write(FForm.AutoScroll, Value); }
    HRESULT get_AutoSize(VARIANT_BOOL* Value) override { return Read(FForm.AutoSize, Value); }
    HRESULT put_AutoSize(VARIANT_BOOL Value) override { return Write(FForm.AutoSize, Value); }
    HRESULT get_AxBorderStyle(TxActiveFormBorderStyle* Value) override {
        return Read(FForm.BorderStyle, Value);
    }
    HRESULT put_AxBorderStyle(TxActiveFormBorderStyle Value) override {
        return Write(FForm.BorderStyle, Value);
    }
    HRESULT get_Caption(std::string* Value) override { return Read(FForm.Caption, Value); }
    HRESULT put_Caption(const std::string& Value) override { return Write(FForm.Caption, Value); }
    HRESULT get_Color(OLE_COLOR* Value) override { return Read(FForm.Color, Value); }
    HRESULT put_Color(OLE_COLOR Value) override { return Write(FForm.Color, Value); }
    HRESULT get_Font(TFontRef* Value) override { return Read(FForm.Font, Value); }
    HRESULT put_Font(TFontRef Value) override {
        return Value ? Write(FForm.Font, Value) : Fail("Invalid font");
    }
    HRESULT get_KeyPreview(VARIANT_BOOL* Value) override { return Read(FForm.KeyPreview, Value); }
    HRESULT put_KeyPreview(VARIANT_BOOL Value) override { return Write(FForm.KeyPreview, Value); }
    HRESULT get_PixelsPerInch(int32_t* Value) override { return Read(FForm.PixelsPerInch, Value); }
    HRESULT put_PixelsPerInch(int32_t Value) override { return Write(FForm.PixelsPerInch, Value); }
    HRESULT get_PrintScale(TxPrintScale* Value) override { return Read(FForm.PrintScale, Value); }
    HRESULT put_PrintScale(TxPrintScale Value) override { return Write(FForm.PrintScale, Value); }
    HRESULT get_Scaled(VARIANT_BOOL* Value) override { return Read(FForm.Scaled, Value); }
    HRESULT put_Scaled(VARIANT_BOOL Value) override { return Write(FForm.Scaled, Value); }
    HRESULT get_Active(VARIANT_BOOL* Value) override { return Read(FForm.Active, Value); }
    HRESULT get_DropTarget(VARIANT_BOOL* Value) override { return Read(FForm.DropTarget, Value); }
    HRESULT put_DropTarget(VARIANT_BOOL Value) override { return Write(FForm.DropTarget, Value); }
    HRESULT get_HelpFile(std::string* Value) override { return Read(FForm.HelpFile, Value); }
    HRESULT put_HelpFile(const std::string& Value) override { return Write(FForm.HelpFile, Value); }
    HRESULT get_DoubleBuffered(VARIANT_BOOL* Value) override {
        return Read(FForm.DoubleBuffered, Value);
    }
    HRESULT put_DoubleBuffered(VARIANT_BOOL Value) override {
        return Write(FForm.DoubleBuffered, Value);
    }
    // Nothing docks into the control.
    HRESULT get_VisibleDockClientCount(int32_t* Value) override { return Read(0, Value); }
    HRESULT get_Enabled(VARIANT_BOOL* Value) override { return Read(FForm.Enabled, Value); }
    HRESULT put_Enabled(VARIANT_BOOL Value) override { return Write(FForm.Enabled, Value); }
    HRESULT get_Cursor(int16_t* Value) override { return Read(FForm.Cursor, Value); }
    HRESULT put_Cursor(int16_t Value) override { return Write(FForm.Cursor, Value); }

    // The control's own properties.
    HRESULT get_DisplayMode(TDisplayMode* Value) override { return FCore.GetDisplayMode(Value); }
    HRESULT put_DisplayMode(TDisplayMode Value) override { return FCore.SetDisplayMode(Value); }
    HRESULT get_CurrentPosition(int32_t* Milliseconds) override {
        return FCore.GetCurrentPosition(Milliseconds);
    }
    HRESULT put_CurrentPosition(int32_t Milliseconds) override {
        return FCore.SetCurrentPosition(Milliseconds);
    }
    HRESULT get_Duration(int32_t* Value) override { return Read(FCore.Duration(), Value); }
    HRESULT get_ScreenBackgroundColor(int32_t* Value) override {
        return Read(SwapRedBlue(FScreenColor), Value);
    }
    HRESULT put_ScreenBackgroundColor(int32_t Value) override {
        return WriteColor(FScreenColor, Value, &TKivPlayerObject::ScreenColorChanged);
    }
    HRESULT get_NailBackgroundColor(int32_t* Value) override {
        return Read(SwapRedBlue(FNailColor), Value);
    }
    HRESULT put_NailBackgroundColor(int32_t Value) override {
        return WriteColor(FNailColor, Value, &TKivPlayerObject::NailColorChanged);
    }
    HRESULT get_LocalIP(std::string* Value) override { return Read(FLocalIP, Value); }
    HRESULT put_LocalIP(const std::string& Value) override { return Write(FLocalIP, Value); }
    HRESULT get_Max(int32_t* Value) override {
        return Read(FCore.Statistics().LastTimeStamp, Value);
    }
    HRESULT get_Min(int32_t* Value) override {
        return Read(FCore.Statistics().FirstTimeStamp, Value);
    }
    HRESULT get_FullScreen(VARIANT_BOOL* Value) override {
        bool on = false;
        const HRESULT hr = FCore.GetFullScreen(&on);
        *Value = ToVariantBool(on);
        return hr;
    }
    HRESULT put_FullScreen(VARIANT_BOOL Value) override {
        return FCore.SetFullScreen(FromVariantBool(Value));
    }
    HRESULT get_URL(std::string* Value) override { return FCore.GetURL(Value); }
    HRESULT put_URL(const std::string& Value) override { return FCore.SetURL(Value); }
    HRESULT get_Status(TStatus* Value) override { return Read(FCore.PlayState(), Value); }
    HRESULT get_AutoStart(VARIANT_BOOL* Value) override {
        return Read(ToVariantBool(FCore.AutoStart()), Value);
    }
    HRESULT put_AutoStart(VARIANT_BOOL Value) override {
        FCore.SetAutoStart(FromVariantBool(Value));
        return S_OK;
    }
    HRESULT get_KivWidth(int32_t* Value) override { return Read(FCore.KivWidth(), Value); }
    HRESULT get_KivHeight(int32_t* Value) override { return Read(FCore.KivHeight(), Value); }

protected:
    // The system colours (0x00BBGGRR) of the picture frame and the thumbnail strip
    // changed; a widget paints with them.
    virtual void ScreenColorChanged(uint32_t /*systemColor*/) {}
    virtual void NailColorChanged(uint32_t /*systemColor*/) {}
    static HRESULT Fail(std::string text) {
        SetErrorInfo(std::move(text));
        return E_UNEXPECTED;
    }

    TKivPlayerCore& FCore;

private:
    static HRESULT Give(bool v, VARIANT_BOOL* out) { return Read(ToVariantBool(v), out); }
    template <class T> static HRESULT Give(T v, T* out) { return Read(v, out); }
    // The core's setters that cannot fail return nothing.
    template <class F, class T> static HRESULT Take(F set, T v) {
        if constexpr (std::is_same_v<T, VARIANT_BOOL>)
            return Take(set, FromVariantBool(v));
        else if constexpr (std::is_void_v<decltype(set(v))>)
            return set(v), S_OK;
        else
            return set(v);
    }
    template <class T, class U> static HRESULT Read(const T& field, U* out) {
        *out = field;
        return S_OK;
    }
    template <class T, class U> static HRESULT Write(T& field, const U& in) {
        field = in;
        return S_OK;
    }
    // 0x00RRGGBB from the host, kept and passed on as the system's 0x00BBGGRR.
    HRESULT WriteColor(uint32_t& field, int32_t value,
                       void (TKivPlayerObject::*changed)(uint32_t)) {
        field = SwapRedBlue(static_cast<uint32_t>(value));
        (this->*changed)(field);
        return S_OK;
    }

    // Everything below belongs to the control's thread, as the core does.
    // The form's values as the form resource has them.
    struct TForm {
        VARIANT_BOOL Visible = VARIANT_TRUE, AutoScroll = VARIANT_FALSE, AutoSize = VARIANT_FALSE;
        TxActiveFormBorderStyle BorderStyle = afbNone;
        std::string Caption = "KivPlayerCtrl";
        OLE_COLOR Color = 0x8000000F; // clBtnFace
        TFontRef Font = std::make_shared<IFontDisp>();
        VARIANT_BOOL KeyPreview = VARIANT_TRUE;
        int32_t PixelsPerInch = 96;
        TxPrintScale PrintScale = poProportional;
        VARIANT_BOOL Scaled = VARIANT_FALSE, Active = VARIANT_FALSE, DropTarget = VARIANT_FALSE;
        std::string HelpFile;
        VARIANT_BOOL DoubleBuffered = VARIANT_FALSE, Enabled = VARIANT_TRUE;
        int16_t Cursor = 0; // crDefault
    } FForm;
    std::string FLocalIP;
    uint32_t FScreenColor = 0, FNailColor = 0; // system colours; black by default
};
#undef KIV_CALL
#undef KIV_CALL1
#undef KIV_NAV_PROP

} // namespace kiv
