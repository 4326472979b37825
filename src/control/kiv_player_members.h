// The automation interface as one list: each member and each event once, with
// its DISPID. IKivPlayer, IKivPlayerEvents, the member and event tables, the
// type library's listing, the event relays and the object's forwarding to the
// core are expanded from it. A new member is one line here plus its
// implementation in TKivPlayerObject (which does not compile without it).
//
// KIV_PLAYER_MEMBERS, in the order of the interface's function table:
//   PROP(Name, DispId, Slot, Type, Param, Hidden)  get_Name at Slot, put_Name at Slot + 1
//   READ(Name, DispId, Slot, Type, Param, Hidden)  get_Name only
//   CALL(Name, DispId, Slot)                        a method without parameters
//   CALL1(Name, DispId, Slot, Param)                a method with one text parameter
// Methods are carried out by the core's member of the same name.
//
// KIV_PLAYER_EVENTS, in the listing's order:
//   EVENT(Name, DispId)                             without parameters, returns void
//   EVENT1(Name, DispId, Type, Listed, Result)      one parameter, as the listing shows it
#pragma once

// clang-format off
#define KIV_PLAYER_MEMBERS(PROP, READ, CALL, CALL1)                                               \
    PROP(Visible,                  1,  7, VARIANT_BOOL,            Value,        true)            \
    PROP(AutoScroll,               2,  9, VARIANT_BOOL,            Value,        false)           \
    PROP(AutoSize,                 3, 11, VARIANT_BOOL,            Value,        false)           \
    PROP(AxBorderStyle,            4, 13, TxActiveFormBorderStyle, Value,        false)           \
    PROP(Caption,               -518, 15, std::string,             Value,        false)           \
    PROP(Color,                 -501, 17, OLE_COLOR,               Value,        false)           \
    PROP(Font,                  -512, 19, TFontRef,                Value,        false)           \
    PROP(KeyPreview,               5, 21, VARIANT_BOOL,            Value,        false)           \
    PROP(PixelsPerInch,            6, 23, int32_t,                 Value,        false)           \
    PROP(PrintScale,               7, 25, TxPrintScale,            Value,        false)           \
    PROP(Scaled,                   8, 27, VARIANT_BOOL,            Value,        false)           \
    READ(Active,                   9, 29, VARIANT_BOOL,            Value,        true)            \
    PROP(DropTarget,              10, 30, VARIANT_BOOL,            Value,        true)            \
    PROP(HelpFile,                11, 32, std::string,             Value,        true)            \
    PROP(DoubleBuffered,          12, 34, VARIANT_BOOL,            Value,        true)            \
    READ(VisibleDockClientCount,  13, 36, int32_t,                 Value,        true)            \
    PROP(Enabled,               -514, 37, VARIANT_BOOL,            Value,        true)            \
    PROP(Cursor,                  14, 39, int16_t,                 Value,        false)           \
    CALL1(LoadFile,               15, 41, Filename)                                               \
    CALL1(SendScript,             16, 42, Str)                                                    \
    CALL1(Open,                   19, 43, Filename)                                               \
    PROP(DisplayMode,             18, 44, TDisplayMode,            Value,        false)           \
    CALL(Play,                    22, 46)                                                         \
    CALL(Pause,                   23, 47)                                                         \
    CALL(Stop,                    24, 48)                                                         \
    CALL(Close,                   25, 49)                                                         \
    CALL(FastForward,             26, 50)                                                         \
    CALL(FastReverse,             27, 51)                                                         \
    PROP(CurrentPosition,         28, 52, int32_t,                 Milliseconds, false)           \
    READ(Duration,                21, 54, int32_t,                 Value,        false)           \
    PROP(ScreenBackgroundColor,   17, 55, int32_t,                 Value,        false)           \
    PROP(NailBackgroundColor,     20, 57, int32_t,                 Value,        false)           \
    PROP(LocalIP,                 29, 59, std::string,             Value,        false)           \
    READ(Max,                    201, 61, int32_t,                 Value,        false)           \
    READ(Min,                    202, 62, int32_t,                 Value,        false)           \
    PROP(FullScreen,             203, 63, VARIANT_BOOL,            Value,        false)           \
    PROP(URL,                    204, 65, std::string,             Value,        false)           \
    READ(Status,                 205, 67, TStatus,                 Value,        false)           \
    PROP(AutoStart,              206, 68, VARIANT_BOOL,            Value,        false)           \
    READ(KivWidth,               207, 70, int32_t,                 Value,        false)           \
    READ(KivHeight,              208, 71, int32_t,                 Value,        false)

#define KIV_PLAYER_EVENTS(EVENT, EVENT1)                                                          \
    EVENT(OnActivate,              1)                                                             \
    EVENT(OnClick,                 2)                                                             \
    EVENT(OnCreate,                3)                                                             \
    EVENT(OnDblClick,              5)                                                             \
    EVENT(OnDestroy,               6)                                                             \
    EVENT(OnDeactivate,            7)                                                             \
    /* A character key; the low byte of what the host leaves in it replaces it. */                \
    EVENT1(OnKeyPress,            11, int16_t&,     "[in, out] short* Key",      void)            \
    EVENT(OnPaint,                16)                                                             \
    /* A thumbnail was clicked; the host decides whether to go there. */                          \
    EVENT1(OnSkip,                 4, int32_t,      "[in] long Seconds",         HRESULT)         \
    EVENT1(OnPlayStateChanged,   201, TStatus,      "[in] TStatus NewState",     HRESULT)         \
    EVENT1(OnPositionChanged,    202, int32_t,      "[in] long NewPosition",     HRESULT)         \
    EVENT1(OnDisplayModeChanged, 203, TDisplayMode, "[in] TDisplayMode NewMode", HRESULT)
// clang-format on

// Expands to nothing: for the kinds an expansion leaves out.
#define KIV_SKIP(...)
