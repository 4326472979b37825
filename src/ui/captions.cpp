#include "ui/captions.h"

#include <QFont>
#include <QLocale>

#include <optional>

namespace kiv::ui {

namespace {

struct TPair {
    const char* Chinese;
    const char* English;
};

// In TCaption order.
constexpr TPair kCaptions[] = {
    {"显示模式", "Display Mode"},
    {"全屏幕(双击鼠标左键)", "Full screen (Double Click)"},
    {"实际大小", "Original size"},
    {"自适应", "Full of window"},
    {"统计信息", "Statistic"},
    {"关于", "About"},
    {"统计信息", "Statistic"},
    {"缓冲状态", "Buffer status"},
    {"开始：", "Start:"},
    {"结束：", "Stop:"},
    {"帧数：", "Frames:"},
    {"字节：", "Bytes:"},
    {"速度：", "Speed:"},
    {"长度：", "Length:"},
    {"关闭", "Close"},
    {"关于", "About"},
    {"确定", "OK"},
};

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
    const TPair& p = kCaptions[static_cast<int>(c)];
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
