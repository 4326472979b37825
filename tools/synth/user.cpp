#include "synth/user.h"

#include <cmath>

namespace kiv::synth {

TUser::TUser(TScene& scene, uint32_t seed)
    : FScene(scene), FRng(seed ^ 0xC0FFEEu), FX(scene.Width() / 2), FY(scene.Height() / 2),
      FPlanX(FX), FPlanY(FY) {}

void TUser::PointIn(const TRect& r, int32_t& x, int32_t& y) {
    const int32_t mx = std::min(r.Width() / 4, 20 * FScene.Scale());
    const int32_t my = std::min(r.Height() / 4, 10 * FScene.Scale());
    x = FRng.Range(r.Left + mx, r.Right - 1 - mx);
    y = FRng.Range(r.Top + my, r.Bottom - 1 - my);
}

void TUser::MoveTo(int32_t x, int32_t y) {
    x = std::clamp(x, 1, FScene.Width() - 1);
    y = std::clamp(y, 1, FScene.Height() - 1);
    const double dist = std::hypot(double(x - FPlanX), double(y - FPlanY));
    const uint32_t ms = uint32_t(220 + dist * 0.55 / FScene.Scale() + FRng.Range(0, 200));
    Push(TAct::Move, x, y, ms);
    FPlanX = x;
    FPlanY = y;
}

void TUser::BringToFront(size_t window) {
    if (FScene.IsTop(window)) return;
    int32_t x, y;
    PointIn(FScene.TaskbarButton(window), x, y);
    MoveTo(x, y);
    Push(TAct::Click, x, y);
    Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(150, 400)));
}

void TUser::Plan() {
    const size_t editor = FScene.Find(TWindowKind::Editor);
    const size_t term = FScene.Find(TWindowKind::Terminal);
    const size_t photos = FScene.Find(TWindowKind::Photos);
    int32_t x, y;
    const uint32_t pick = FRng.Below(100);
    if (pick < 30) { // type a while
        BringToFront(editor);
        PointIn(FScene.EditorText(), x, y);
        MoveTo(x, y);
        Push(TAct::Click, x, y);
        MoveTo(x + FRng.Range(-60, 60) * FScene.Scale(), y + FRng.Range(20, 70) * FScene.Scale());
        Push(TAct::Type, 0, 0, uint32_t(FRng.Range(3000, 12000)));
    } else if (pick < 44) { // drag a window somewhere else
        const size_t w = FRng.Below(uint32_t(FScene.WindowCount()));
        const TRect bar = FScene.TitleBar(w);
        const TRect frame = FScene.Window(w).Frame;
        BringToFront(w);
        x = FRng.Range(bar.Left + 10 * FScene.Scale(),
                       std::max(bar.Left + 10, bar.Right - 120 * FScene.Scale()));
        y = (bar.Top + bar.Bottom) / 2;
        MoveTo(x, y);
        Push(TAct::Click, x, y);
        const TRect desk = FScene.Desktop();
        const int32_t left = FRng.Range(-frame.Width() / 5, desk.Right - frame.Width() * 4 / 5);
        const int32_t top = FRng.Range(0, std::max(0, desk.Bottom - frame.Height() * 2 / 3));
        Push(TAct::Drag, left, top, uint32_t(FRng.Range(600, 1500)), w);
        FPlanX = left + (x - frame.Left);
        FPlanY = top + (y - frame.Top);
        Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(200, 700)));
    } else if (pick < 56 && !FScene.TerminalBusy()) { // start a build
        BringToFront(term);
        PointIn(FScene.ClientArea(term), x, y);
        MoveTo(x, y);
        Push(TAct::Click, x, y);
        Push(TAct::Build);
        Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(1500, 4000)));
    } else if (pick < 70) { // leaf through photos
        BringToFront(photos);
        PointIn(FScene.PhotoNext(), x, y);
        MoveTo(x, y);
        for (int n = FRng.Range(2, 4); n > 0; --n) {
            Push(TAct::Click, x, y);
            Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(1200, 3200)));
        }
    } else if (pick < 84) { // look at the screen
        Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(2000, 7000)));
    } else if (pick < 92) { // switch windows from the taskbar
        const size_t w = FRng.Below(uint32_t(FScene.WindowCount()));
        PointIn(FScene.TaskbarButton(w), x, y);
        MoveTo(x, y);
        Push(TAct::Click, x, y);
        Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(500, 1500)));
    } else { // wander
        PointIn(FScene.Desktop(), x, y);
        MoveTo(x, y);
        Push(TAct::Wait, 0, 0, uint32_t(FRng.Range(300, 1500)));
    }
}

bool TUser::Run(uint32_t now) {
    TAction& a = FPlan.front();
    if (!FStarted) {
        FStarted = true;
        FStart = now;
        FFromX = FX;
        FFromY = FY;
        if (a.Act == TAct::Drag) {
            const TRect f = FScene.Window(a.Window).Frame;
            FGrabX = FX - f.Left;
            FGrabY = FY - f.Top;
            FToX = a.X + FGrabX;
            FToY = a.Y + FGrabY;
            FDragging = true;
        } else {
            FToX = a.X;
            FToY = a.Y;
        }
        // A curved path: the control point lies off the straight line.
        const double dx = FToX - FFromX, dy = FToY - FFromY;
        const double bend = (FRng.Unit() - 0.5) * 0.5;
        FCtrlX = (FFromX + FToX) / 2 - dy * bend;
        FCtrlY = (FFromY + FToY) / 2 + dx * bend;
        if (a.Act == TAct::Type) FScene.SetTyping(true);
    }
    const uint32_t elapsed = now - FStart;
    switch (a.Act) {
    case TAct::Move:
    case TAct::Drag: {
        const double t = a.Duration ? std::min(1.0, double(elapsed) / a.Duration) : 1.0;
        const double e = t * t * (3 - 2 * t);
        const double u = 1 - e;
        FX = int32_t(std::lround(u * u * FFromX + 2 * u * e * FCtrlX + e * e * FToX));
        FY = int32_t(std::lround(u * u * FFromY + 2 * u * e * FCtrlY + e * e * FToY));
        FX = std::clamp(FX, 1, FScene.Width() - 1);
        FY = std::clamp(FY, 1, FScene.Height() - 1);
        if (a.Act == TAct::Drag) FScene.MoveWindow(a.Window, FX - FGrabX, FY - FGrabY);
        if (t < 1) return false;
        FDragging = false;
        return true;
    }
    case TAct::Wait:
        return elapsed >= a.Duration;
    case TAct::Click:
        FScene.Click(FX, FY, now);
        return true;
    case TAct::Type:
        if (elapsed < a.Duration) return false;
        FScene.SetTyping(false);
        return true;
    case TAct::Build:
        FScene.StartBuild();
        return true;
    }
    return true;
}

void TUser::Advance(uint32_t now) {
    for (int steps = 0; steps < 16; ++steps) {
        if (FPlan.empty()) {
            FPlanX = FX;
            FPlanY = FY;
            Plan();
        }
        if (!Run(now)) break;
        FPlan.pop_front();
        FStarted = false;
    }
    FShape = FDragging ? TPointerShape::Arrow : FScene.ShapeAt(FX, FY);
}

} // namespace kiv::synth
