#include "window_captions.h"

#include "ui/captions.h"

namespace kivplayer {
namespace {

struct TPair {
    const char* Chinese;
    const char* English;
};

// In TText order.
constexpr TPair kTexts[] = {
    {"文件(&F)", "&File"},
    {"打开文件(&O)...", "&Open file..."},
    {"打开地址(&A)...", "Open &address..."},
    {"最近打开(&R)", "&Recent"},
    {"退出(&Q)", "&Quit"},
    {"帮助(&H)", "&Help"},
    {"快捷键(&K)", "&Keys"},
    {"跳过空闲", "Skip idle"},
    {"速度", "Speed"},
    {"直播", "LIVE"},
    {"空格\t播放/暂停\n"
     "←/→\t后退/前进 5 秒\n"
     "Home\t回到开头\n"
     "[ / ]\t速度 ÷1.1 / ×1.1\n"
     "{ / }\t速度减半 / 加倍\n"
     "Backspace\t正常速度\n"
     "PageUp / PageDown\t上一个 / 下一个标记\n"
     "F\t全屏幕\n"
     "Esc\t退出全屏幕\n"
     "Ctrl+O\t打开文件\n"
     "Ctrl+L\t打开地址\n"
     "Ctrl+Q\t退出",
     "Space\tplay / pause\n"
     "Left / Right\tback / forward 5 s\n"
     "Home\tto the start\n"
     "[ / ]\tspeed /1.1 / x1.1\n"
     "{ / }\tspeed halved / doubled\n"
     "Backspace\tnormal speed\n"
     "PageUp / PageDown\tprevious / next marker\n"
     "F\tfull screen\n"
     "Esc\tleave full screen\n"
     "Ctrl+O\topen a file\n"
     "Ctrl+L\topen an address\n"
     "Ctrl+Q\tquit"},
    {"导出(&E)...", "&Export..."},
    {"导出", "Export"},
    {"格式", "Format"},
    {"范围", "Range"},
    {"整个录像", "Whole recording"},
    {"从当前位置到结尾", "From here to the end"},
    {"两个标记之间", "Between two markers"},
    {"开头", "Start"},
    {"结尾", "End"},
    {"大小", "Size"},
    {"不含鼠标指针", "Leave the pointer out"},
    {"保存到", "Save to"},
    {"浏览...", "Browse..."},
    {"完成后用默认播放器打开", "Open in the default player when done"},
    {"导出", "Export"},
    {"正在导出...", "Exporting..."},
    {"取消", "Cancel"},
    {"已有一个导出在进行", "An export is already under way"},
};

} // namespace

QString Text(TText t) {
    const TPair& p = kTexts[static_cast<int>(t)];
    return QString::fromUtf8(kiv::ui::ChineseCaptions() ? p.Chinese : p.English);
}

} // namespace kivplayer
