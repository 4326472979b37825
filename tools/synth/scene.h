// The synthetic desktop: wallpaper with icons, three windows with their own
// surfaces, a taskbar with a clock. It repaints only what changes and keeps a
// mask of the screen tiles touched since the last TakeDamage.
#pragma once

#include "synth/apps.h"
#include "synth/art.h"
#include "synth/diff.h"
#include "synth/picture.h"
#include "synth/rng.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::synth {

enum class TWindowKind : uint8_t { Editor, Terminal, Photos };

struct TWindow {
    TWindowKind Kind;
    std::string Title;
    TRect Frame;      // on the screen
    TPicture Surface; // the whole window, frame and title bar included
    TRect Client;     // in surface pixels
};

class TScene {
public:
    TScene(int32_t width, int32_t height, uint32_t seed);

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    int32_t Scale() const { return FScale; }

    // What happens by itself as time passes: clock, caret, typing, build output, photos.
    void Advance(uint32_t now);

    // What the user does.
    void Click(int32_t x, int32_t y, uint32_t now);
    void MoveWindow(size_t index, int32_t left, int32_t top);
    void SetTyping(bool on);
    void StartBuild();

    // Where things are, on the screen.
    size_t WindowCount() const { return FWindows.size(); }
    const TWindow& Window(size_t i) const { return FWindows[i]; }
    size_t Find(TWindowKind kind) const;
    size_t Active() const { return FActive; }
    TRect TitleBar(size_t i) const;
    TRect ClientArea(size_t i) const;
    TRect EditorText() const;
    TRect PhotoImage() const;
    TRect PhotoNext() const;
    TRect TaskbarButton(size_t i) const;
    TRect Desktop() const { return {0, 0, FWidth, FTaskbarRect.Top}; }
    bool TerminalBusy() const { return FTerminal.Busy(); }
    uint32_t PhotoChanged() const { return FPhotos.LastChange(); }
    TPointerShape ShapeAt(int32_t x, int32_t y) const;
    // The top window at a point, or -1.
    int32_t TopWindowAt(int32_t x, int32_t y) const;
    bool IsTop(size_t i) const { return FZOrder.back() == i; }
    // True when r lies on the visible part of the photo, which suits JPEG.
    bool IsPhotoLike(const TRect& r) const;

    // Composes the screen inside the given rectangles.
    void Render(TPicture& pic, const std::vector<TRect>& rects) const;
    void RenderAll(TPicture& pic) const { Render(pic, {pic.Bounds()}); }
    // The tiles touched since the last call.
    const TTileMask& Damage() const { return FDamage; }
    void ClearDamage() { FDamage.Clear(); }

private:
    void Focus(size_t i);
    void PaintChrome(size_t i);
    void PaintTaskbar();
    void PaintClock(uint32_t now);
    void PaintWindow(size_t i);
    void MarkSurface(size_t window, const TDamage& d);
    TRect ClockRect() const;

    int32_t FWidth, FHeight, FScale, FBorder, FTitle;
    TRng FRng;
    TPicture FWallpaper, FTaskbar;
    TRect FTaskbarRect;
    std::vector<TWindow> FWindows;
    std::vector<size_t> FZOrder; // bottom to top
    size_t FActive = 0;
    TEditor FEditor;
    TTerminal FTerminal;
    TPhotoViewer FPhotos;
    bool FTyping = false, FEdited = false;
    uint32_t FNextKey = 0, FNextBlink = 0, FClockSecond = UINT32_MAX, FClockStart;
    TTileMask FDamage;
    TDamage FScratch;
};

} // namespace kiv::synth
