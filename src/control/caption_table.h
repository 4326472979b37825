// The captions of the control's menu and dialogs in both languages: one table
// for the Qt view and the web element.
#pragma once

namespace kiv {

struct TCaptionPair {
    const char* Chinese;
    const char* English;
};

// In ui::TCaption order.
inline constexpr TCaptionPair kCaptionTable[] = {
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

} // namespace kiv
