// The captions of the control and its dialogs in both languages, chosen once
// by the process locale, and the face names mapped to installed fonts.
#pragma once

#include <QString>

#include <cstdint>

namespace kiv::ui {

enum class TCaption {
    DisplayMode,
    Full,
    Original,
    Adaptive,
    Status,
    About,
    StatusForm,
    BufferGroup,
    From,
    To,
    Frames,
    Bytes,
    Speed,
    Length,
    Close,
    AboutForm,
    Ok,
};

// True when the process locale is Chinese (China).
bool ChineseCaptions();
// Fixes the language instead of the locale (tests, embedders); before any widget.
void SetChineseCaptions(bool chinese);
QString Caption(TCaption c);

// Maps the Windows face names the forms ask for to fonts that are installed.
void InstallFontSubstitutes();

} // namespace kiv::ui
