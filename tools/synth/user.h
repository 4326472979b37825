// The person at the synthetic screen: moves the pointer along smooth paths,
// clicks, drags windows, types, starts builds, leafs through photos, idles.
#pragma once

#include "synth/rng.h"
#include "synth/scene.h"

#include <cstdint>
#include <deque>

namespace kiv::synth {

class TUser {
public:
    TUser(TScene& scene, uint32_t seed);

    void Advance(uint32_t now);
    // The pointer's hot spot on the screen.
    int32_t X() const { return FX; }
    int32_t Y() const { return FY; }
    TPointerShape Shape() const { return FShape; }
    bool Dragging() const { return FDragging; }

private:
    enum class TAct { Move, Wait, Click, Drag, Type, Build };
    struct TAction {
        TAct Act;
        int32_t X = 0, Y = 0;  // target point; for Drag the window's new top-left
        uint32_t Duration = 0; // ms
        size_t Window = 0;
    };

    void Plan();
    bool Run(uint32_t now);
    void MoveTo(int32_t x, int32_t y);
    void BringToFront(size_t window);
    void Push(TAct act, int32_t x = 0, int32_t y = 0, uint32_t duration = 0, size_t window = 0) {
        FPlan.push_back({act, x, y, duration, window});
    }
    void PointIn(const TRect& r, int32_t& x, int32_t& y);

    TScene& FScene;
    TRng FRng;
    std::deque<TAction> FPlan;
    int32_t FX, FY;
    // The running action.
    bool FStarted = false;
    uint32_t FStart = 0;
    double FFromX = 0, FFromY = 0, FCtrlX = 0, FCtrlY = 0, FToX = 0, FToY = 0;
    int32_t FGrabX = 0, FGrabY = 0;
    bool FDragging = false;
    TPointerShape FShape = TPointerShape::Arrow;
    // Where the pointer will be once the planned actions have run.
    int32_t FPlanX, FPlanY;
};

} // namespace kiv::synth
