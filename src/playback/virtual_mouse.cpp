#include "playback/virtual_mouse.h"

#include "platform/debug_log.h"
#include "platform/dib_reader.h"
#include "platform/error.h"

namespace kiv {
namespace {

constexpr const char* kUnit = "KivShare/UnitShare";
constexpr int32_t kArrowSide = 44;

// The arrow by rows from the top: black runs and white runs, columns inclusive.
struct TArrowRow {
    int8_t Black[4][2];
    int8_t White[2][2];
};

void BuildArrow(TBitmap24& shape) {
    KIV_ASSERT(shape.Create(kArrowSide, kArrowSide), kUnit);
    shape.Fill(kTransparentRed);
    constexpr TColorRef kBlack = MakeColor(0, 0, 0), kWhite = MakeColor(255, 255, 255);
    auto run = [&](int row, int from, int to, TColorRef c) {
        shape.Fill(TRect{from, row, to + 1, row + 1}, c);
    };
    run(0, 6, 6, kBlack);
    run(1, 6, 7, kBlack);
    for (int r = 2; r <= 10; ++r) {
        run(r, 6, 6, kBlack);
        run(r, 6 + r, 6 + r, kBlack);
        run(r, 7, 5 + r, kWhite);
    }
    static constexpr TArrowRow kRows[] = {
        /* 11 */ {{{6, 6}, {13, 17}, {-1, -1}, {-1, -1}}, {{7, 12}, {-1, -1}}},
        /* 12 */ {{{6, 6}, {10, 10}, {13, 13}, {-1, -1}}, {{7, 9}, {11, 12}}},
        /* 13 */ {{{6, 6}, {9, 10}, {13, 13}, {-1, -1}}, {{7, 8}, {11, 12}}},
        /* 14 */ {{{6, 6}, {8, 8}, {11, 11}, {14, 14}}, {{7, 7}, {12, 13}}},
        /* 15 */ {{{6, 7}, {11, 11}, {14, 14}, {-1, -1}}, {{12, 13}, {-1, -1}}},
        /* 16 */ {{{6, 6}, {12, 12}, {15, 15}, {-1, -1}}, {{13, 14}, {-1, -1}}},
        /* 17 */ {{{12, 12}, {15, 15}, {-1, -1}, {-1, -1}}, {{13, 14}, {-1, -1}}},
        /* 18 */ {{{13, 13}, {16, 16}, {-1, -1}, {-1, -1}}, {{14, 15}, {-1, -1}}},
        /* 19 */ {{{13, 13}, {16, 16}, {-1, -1}, {-1, -1}}, {{14, 15}, {-1, -1}}},
        /* 20 */ {{{14, 15}, {-1, -1}, {-1, -1}, {-1, -1}}, {{-1, -1}, {-1, -1}}},
    };
    for (int i = 0; i < 10; ++i) {
        for (const auto& b : kRows[i].Black)
            if (b[0] >= 0) run(11 + i, b[0], b[1], kBlack);
        for (const auto& w : kRows[i].White)
            if (w[0] >= 0) run(11 + i, w[0], w[1], kWhite);
    }
}

// Opens an image as a pointer shape: why it cannot be one, or null.
const char* OpenShape(const uint8_t* image, size_t size, TDibImage& dib) {
    if (const TDibResult r = dib.Open(image, size); !r) return r.Text;
    if (dib.Width() > TVirtualMouse::kMaxSide || dib.Height() > TVirtualMouse::kMaxSide)
        return "larger than 1024 pixels a side";
    return nullptr;
}

} // namespace

TVirtualMouse::TVirtualMouse(TBitmap24* target) : FTarget(target) {
    BuildArrow(FShape);
    KIV_ASSERT(FSave.Create(FShape.Width(), FShape.Height()), kUnit);
}

void TVirtualMouse::ShowAt(int32_t x, int32_t y) {
    if (FVisible) {
        if (x == FX && y == FY) return;
        Hide();
    }
    if (x == -1 && y == -1) {
        x = FX;
        y = FY;
    }
    // Saving and drawing are clipped to the picture; hiding restores the same part.
    FSave.Blit(0, 0, *FTarget, TRect{x, y, x + Width(), y + Height()}, TBlitMode::Copy);
    FTarget->Blit(x, y, FShape, TBlitMode::Transparent, kTransparentRed);
    FX = x;
    FY = y;
    FVisible = true;
}

void TVirtualMouse::Hide() {
    if (!FVisible) return;
    // Only the part that lay inside the picture was saved: restore just that part.
    const TRect inside{std::max(0, -FX), std::max(0, -FY), Width(), Height()};
    FTarget->Blit(FX + inside.Left, FY + inside.Top, FSave, inside, TBlitMode::Copy);
    FVisible = false;
}

bool TVirtualMouse::Intersects(const TRect& r) const {
    return FX < r.Right && r.Left < FX + Width() && FY < r.Bottom && r.Top < FY + Height();
}

const char* TVirtualMouse::ShapeProblem(const uint8_t* image, size_t size) {
    TDibImage dib;
    return OpenShape(image, size, dib);
}

void TVirtualMouse::SetShape(const uint8_t* image, size_t size) {
    Hide();
    TDibImage dib;
    const char* problem = OpenShape(image, size, dib);
    TDibInfo info;
    if (ReadDibInfo(image, size, info) && info.Width == Width() && info.AbsHeight() == Height()) {
        // The same size: converted into the existing shape; a failure is only logged.
        if (!problem)
            dib.Blit(FShape, 0, 0, TBlitMode::Copy);
        else
            DebugOutput("KivPlayer.ocx->SetDIBits ErrorCode = 13");
        return;
    }
    KIV_ASSERT(!problem, kUnit);
    TBitmap24 shape;
    KIV_ASSERT(shape.Create(dib.Width(), dib.Height()), kUnit);
    dib.Blit(shape, 0, 0, TBlitMode::Copy);
    KIV_ASSERT(FSave.Create(dib.Width(), dib.Height()), kUnit);
    FShape = std::move(shape);
}

} // namespace kiv
