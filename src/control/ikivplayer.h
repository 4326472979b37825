// IKivPlayer: the control's automation interface, its members declared in the
// order of the interface's function table (slots 7 to 71, after IUnknown and
// IDispatch). Reads have one out-parameter; every member returns an HRESULT.
#pragma once

#include "control/automation_types.h"

#include <string>

namespace kiv {

class IKivPlayer {
public:
    virtual ~IKivPlayer() = default;

    virtual HRESULT get_Visible(VARIANT_BOOL* Value) = 0;                  // 7
    virtual HRESULT put_Visible(VARIANT_BOOL Value) = 0;                   // 8
    virtual HRESULT get_AutoScroll(VARIANT_BOOL* Value) = 0;               // 9
    virtual HRESULT put_AutoScroll(VARIANT_BOOL Value) = 0;                // 10
    virtual HRESULT get_AutoSize(VARIANT_BOOL* Value) = 0;                 // 11
    virtual HRESULT put_AutoSize(VARIANT_BOOL Value) = 0;                  // 12
    virtual HRESULT get_AxBorderStyle(TxActiveFormBorderStyle* Value) = 0; // 13
    virtual HRESULT put_AxBorderStyle(TxActiveFormBorderStyle Value) = 0;  // 14
    virtual HRESULT get_Caption(std::string* Value) = 0;                   // 15
    virtual HRESULT put_Caption(const std::string& Value) = 0;             // 16
    virtual HRESULT get_Color(OLE_COLOR* Value) = 0;                       // 17
    virtual HRESULT put_Color(OLE_COLOR Value) = 0;                        // 18
    virtual HRESULT get_Font(TFontRef* Value) = 0;                         // 19
    virtual HRESULT put_Font(TFontRef Value) = 0;                          // 20
    virtual HRESULT get_KeyPreview(VARIANT_BOOL* Value) = 0;               // 21
    virtual HRESULT put_KeyPreview(VARIANT_BOOL Value) = 0;                // 22
    virtual HRESULT get_PixelsPerInch(int32_t* Value) = 0;                 // 23
    virtual HRESULT put_PixelsPerInch(int32_t Value) = 0;                  // 24
    virtual HRESULT get_PrintScale(TxPrintScale* Value) = 0;               // 25
    virtual HRESULT put_PrintScale(TxPrintScale Value) = 0;                // 26
    virtual HRESULT get_Scaled(VARIANT_BOOL* Value) = 0;                   // 27
    virtual HRESULT put_Scaled(VARIANT_BOOL Value) = 0;                    // 28
    virtual HRESULT get_Active(VARIANT_BOOL* Value) = 0;                   // 29
    virtual HRESULT get_DropTarget(VARIANT_BOOL* Value) = 0;               // 30
    virtual HRESULT put_DropTarget(VARIANT_BOOL Value) = 0;                // 31
    virtual HRESULT get_HelpFile(std::string* Value) = 0;                  // 32
    virtual HRESULT put_HelpFile(const std::string& Value) = 0;            // 33
    virtual HRESULT get_DoubleBuffered(VARIANT_BOOL* Value) = 0;           // 34
    virtual HRESULT put_DoubleBuffered(VARIANT_BOOL Value) = 0;            // 35
    virtual HRESULT get_VisibleDockClientCount(int32_t* Value) = 0;        // 36
    virtual HRESULT get_Enabled(VARIANT_BOOL* Value) = 0;                  // 37
    virtual HRESULT put_Enabled(VARIANT_BOOL Value) = 0;                   // 38
    virtual HRESULT get_Cursor(int16_t* Value) = 0;                        // 39
    virtual HRESULT put_Cursor(int16_t Value) = 0;                         // 40
    virtual HRESULT LoadFile(const std::string& Filename) = 0;             // 41
    virtual HRESULT SendScript(const std::string& Str) = 0;                // 42
    virtual HRESULT Open(const std::string& Filename) = 0;                 // 43
    virtual HRESULT get_DisplayMode(TDisplayMode* Value) = 0;              // 44
    virtual HRESULT put_DisplayMode(TDisplayMode Value) = 0;               // 45
    virtual HRESULT Play() = 0;                                            // 46
    virtual HRESULT Pause() = 0;                                           // 47
    virtual HRESULT Stop() = 0;                                            // 48
    virtual HRESULT Close() = 0;                                           // 49
    virtual HRESULT FastForward() = 0;                                     // 50
    virtual HRESULT FastReverse() = 0;                                     // 51
    virtual HRESULT get_CurrentPosition(int32_t* Milliseconds) = 0;        // 52
    virtual HRESULT put_CurrentPosition(int32_t Milliseconds) = 0;         // 53
    virtual HRESULT get_Duration(int32_t* Value) = 0;                      // 54
    virtual HRESULT get_ScreenBackgroundColor(int32_t* Value) = 0;         // 55
    virtual HRESULT put_ScreenBackgroundColor(int32_t Value) = 0;          // 56
    virtual HRESULT get_NailBackgroundColor(int32_t* Value) = 0;           // 57
    virtual HRESULT put_NailBackgroundColor(int32_t Value) = 0;            // 58
    virtual HRESULT get_LocalIP(std::string* Value) = 0;                   // 59
    virtual HRESULT put_LocalIP(const std::string& Value) = 0;             // 60
    virtual HRESULT get_Max(int32_t* Value) = 0;                           // 61
    virtual HRESULT get_Min(int32_t* Value) = 0;                           // 62
    virtual HRESULT get_FullScreen(VARIANT_BOOL* Value) = 0;               // 63
    virtual HRESULT put_FullScreen(VARIANT_BOOL Value) = 0;                // 64
    virtual HRESULT get_URL(std::string* Value) = 0;                       // 65
    virtual HRESULT put_URL(const std::string& Value) = 0;                 // 66
    virtual HRESULT get_Status(TStatus* Value) = 0;                        // 67
    virtual HRESULT get_AutoStart(VARIANT_BOOL* Value) = 0;                // 68
    virtual HRESULT put_AutoStart(VARIANT_BOOL Value) = 0;                 // 69
    virtual HRESULT get_KivWidth(int32_t* Value) = 0;                      // 70
    virtual HRESULT get_KivHeight(int32_t* Value) = 0;                     // 71
};

} // namespace kiv
