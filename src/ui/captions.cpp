#include "ui/captions.h"

#include "control/caption_table.h"

#include <QFont>
#include <QLocale>

#include <optional>

namespace kiv::ui {

namespace {

std::optional<bool>& Chosen() {
    static std::optional<bool> chosen;
    return chosen;
}

} // namespace

bool ChineseCaptions() {
    if (!Chosen()) {
        const QLocale l = QLocale::system();
        Chosen() = l.language() == QLocale::Chinese && l.territory() == QLocale::China;
    }
    return *Chosen();
}

void SetChineseCaptions(bool chinese) {
    Chosen() = chinese;
}

QString Caption(TCaption c) {
    const TCaptionPair& p = kCaptionTable[static_cast<int>(c)];
    return QString::fromUtf8(ChineseCaptions() ? p.Chinese : p.English);
}

void InstallFontSubstitutes() {
    static const bool done = [] {
        const QStringList cjk = {"WenQuanYi Zen Hei", "Noto Sans CJK SC", "AR PL UMing CN"};
        const QStringList latin = {"Liberation Sans", "DejaVu Sans"};
        QFont::insertSubstitutions(QString::fromUtf8("宋体"), cjk);
        QFont::insertSubstitutions("SimSun", cjk);
        QFont::insertSubstitutions("Arial", latin + cjk);
        QFont::insertSubstitutions("MS Sans Serif", latin + cjk);
        return true;
    }();
    (void)done;
}

} // namespace kiv::ui
