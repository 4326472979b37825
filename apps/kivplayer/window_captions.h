// The window's own texts in both languages, chosen as the control's are.
#pragma once

#include <QString>

namespace kivplayer {

enum class TText {
    File,
    OpenFile,
    OpenAddress,
    Recent,
    Quit,
    Help,
    Keys,
    SkipIdle,
    Speed,
    Live,
    KeysText,
    ExportMenu,
    ExportTitle,
    ExportFormat,
    ExportRange,
    ExportWhole,
    ExportFromHere,
    ExportBetweenMarkers,
    ExportStart,
    ExportEnd,
    ExportSize,
    ExportNoPointer,
    ExportTo,
    ExportBrowse,
    ExportOpenWhenDone,
    ExportStartButton,
    ExportRunning,
    ExportCancel,
    ExportBusy,
};

QString Text(TText t);

} // namespace kivplayer
