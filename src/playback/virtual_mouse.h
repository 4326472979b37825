// The recorded mouse pointer, drawn over the picture with pure red transparent.
// It keeps what it covers so that it can lift itself off again.
#pragma once

#include "platform/bitmap24.h"

#include <cstddef>
#include <cstdint>

namespace kiv {

class TVirtualMouse {
public:
    // Draws into target (not owned) with the built-in 44 x 44 arrow.
    explicit TVirtualMouse(TBitmap24* target);

    // Draws the pointer at (x, y); (-1, -1) means where it was.
    void ShowAt(int32_t x, int32_t y);
    void Hide();
    bool Intersects(const TRect& r) const;
    // A new shape from a bitmap file image of at most `size` bytes. The pointer stays hidden.
    void SetShape(const uint8_t* image, size_t size);

    bool Visible() const { return FVisible; }
    int32_t X() const { return FX; }
    int32_t Y() const { return FY; }
    int32_t Width() const { return FShape.Width(); }
    int32_t Height() const { return FShape.Height(); }
    const TBitmap24& Shape() const { return FShape; }

    // A pointer larger than this is not a pointer.
    static constexpr int32_t kMaxSide = 1024;
    // Why SetShape cannot take an image as a new shape, or null when it can.
    static const char* ShapeProblem(const uint8_t* image, size_t size);

private:
    TBitmap24* FTarget;
    TBitmap24 FShape;
    TBitmap24 FSave; // what the pointer covers while visible
    bool FVisible = false;
    int32_t FX = 0, FY = 0;
};

} // namespace kiv
