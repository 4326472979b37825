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
};

QString Text(TText t);

} // namespace kivplayer
