// What the synthetic windows show: a text editor being typed into, a terminal
// printing a build, a photo viewer. Each paints into its window's surface and
// reports the rectangles it changed, in surface pixels.
#pragma once

#include "synth/art.h"
#include "synth/picture.h"
#include "synth/rng.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kiv::synth {

using TDamage = std::vector<TRect>;

class TEditor {
public:
    void Place(const TRect& area, int32_t scale);
    void PaintAll(TPicture& s) const;
    // Types the next character of the text; returns the pause before the one after it.
    uint32_t TypeNext(TPicture& s, TDamage& d, TRng& rng);
    void SetCaret(TPicture& s, TDamage& d, bool on);
    bool CaretOn() const { return FCaret; }
    TRect TextArea() const { return FText; }

private:
    TRect CaretRect() const;
    void PaintLine(TPicture& s, int32_t row) const;
    void PaintStatus(TPicture& s, TDamage& d) const;
    void NewLine(TPicture& s, TDamage& d);

    TRect FArea, FMenu, FText, FStatus;
    int32_t FScale = 1, FCols = 1, FRows = 1;
    std::vector<std::string> FLines; // the visible rows
    int32_t FRow = 0, FLine = 0;     // caret row on screen, line number in the file
    size_t FPos = 0;                 // next character of the text
    bool FCaret = false;
};

class TTerminal {
public:
    void Place(const TRect& area, int32_t scale);
    void PaintAll(TPicture& s) const;
    // Types a build command and queues its output.
    void StartBuild(TRng& rng);
    bool Busy() const { return !FQueue.empty(); }
    void Advance(uint32_t now, TPicture& s, TDamage& d, TRng& rng);

private:
    struct TLine {
        std::string Text;
        TColor Color;
    };
    struct TPending {
        std::string Text;
        TColor Color;
        bool Typed; // one character at a time, as a person types
        bool EndLine;
    };
    void Put(TPicture& s, TDamage& d, char ch, TColor c);
    void EndLine(TPicture& s, TDamage& d);
    void DrawCursor(TPicture& s, TDamage& d, bool on) const;
    TRect CellRect(int32_t row, int32_t col) const;

    TRect FArea;
    int32_t FScale = 1, FCols = 1, FRows = 1;
    std::vector<TLine> FLines;
    int32_t FRow = 0, FCol = 0;
    std::deque<TPending> FQueue;
    size_t FQueuedChars = 0; // of the front item
    uint32_t FNext = 0;
    uint32_t FBuild = 0;
};

class TPhotoViewer {
public:
    void Place(const TRect& area, int32_t scale, uint32_t seed);
    void PaintAll(TPicture& s) const;
    // Shows the next (or previous) photo, cross-fading when asked.
    void Step(uint32_t now, int32_t delta, bool fade);
    void Advance(uint32_t now, TPicture& s, TDamage& d);
    uint32_t LastChange() const { return FChanged; }
    TRect ImageRect() const { return FImage; }
    TRect PrevButton() const { return FPrev; }
    TRect NextButton() const { return FNextBtn; }
    bool Pending() const { return FPendingPaint || FFading; }

private:
    void PaintCaption(TPicture& s) const;

    TRect FArea, FImage, FBar, FPrev, FNextBtn;
    int32_t FScale = 1;
    uint32_t FSeed = 0;
    int32_t FIndex = 0;
    TPicture FShown, FTarget;
    bool FFading = false, FPendingPaint = false;
    uint32_t FFadeStart = 0, FChanged = 0;
    int32_t FFadeStep = -1;
};

} // namespace kiv::synth
