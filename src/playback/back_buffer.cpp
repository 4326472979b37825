#include "playback/back_buffer.h"

#include "platform/debug_log.h"
#include "platform/dib_reader.h"
#include "platform/error.h"

#include <algorithm>
#include <cstdio>

namespace kiv {
namespace {

constexpr const char* kUnit = "KivPlayer/UnitBackBuffer";

// The image's own size field, when it is one the bytes can hold.
size_t ImageSize(const uint8_t* image, uint32_t capacity) {
    if (capacity < 6) return capacity;
    uint32_t size = LoadLE32(image + 2);
    return size >= 14 && size <= capacity ? size : capacity;
}

constexpr const char* kFewBits = "8 bits per pixel or fewer";

const char* CheckSetUp(const uint8_t* image, uint32_t capacity, const TKivFileHeader& recording,
                       TDibInfo& info) {
    const size_t size = ImageSize(image, capacity);
    // The size first: an image of no pixels does not open either, and this says why.
    if (ReadDibInfo(image, size, info))
        if (const char* why = PictureSizeProblem(info.Width, info.AbsHeight(), recording))
            return why;
    // One that cannot be drawn would set up a picture it never fills.
    TDibImage dib;
    if (const TDibResult opened = dib.Open(image, size); !opened) return opened.Text;
    if (info.BitCount <= 8) return kFewBits;
    return nullptr;
}

} // namespace

const char* TBackBuffer::SetUpProblem(const uint8_t* image, uint32_t capacity,
                                      const TKivFileHeader& recording) {
    if (!image) return "no image";
    TDibInfo info;
    return CheckSetUp(image, capacity, recording, info);
}

const char* TBackBuffer::ShapeProblem(const uint8_t* image, uint32_t capacity) {
    if (!image) return "no image";
    return TVirtualMouse::ShapeProblem(image, ImageSize(image, capacity));
}

void TBackBuffer::Initialize(const uint8_t* image, uint32_t capacity) {
    KIV_ASSERT(image, kUnit);
    TDibInfo info;
    if (const char* why = CheckSetUp(image, capacity, FRecording, info)) {
        // Too few bits stay the assertion they always were; the rest are damage.
        KIV_ASSERT(why != kFewBits, kUnit);
        char line[160];
        std::snprintf(line, sizeof line, "The key frame of %d x %lld cannot set the picture up: %s",
                      info.Width, static_cast<long long>(info.AbsHeight()), why);
        throw EKivError(line);
    }
    auto picture = std::make_unique<TBitmap24>();
    KIV_ASSERT(picture->Create(info.Width, static_cast<int32_t>(info.AbsHeight())), kUnit);
    FPicture = std::move(picture);
    FMouse = std::make_unique<TVirtualMouse>(FPicture.get());
}

void TBackBuffer::Compose(const TSampleHeader& sample, const uint8_t* image,
                          uint32_t imageCapacity) {
    if (!FInitialized) {
        if (sample.Kind != skKeyFrame) {
            DebugLog(" The first frame must be a key frame!");
            return;
        }
        Initialize(image, imageCapacity);
        FInitialized = true;
    }
    switch (sample.Kind) {
    case skDifference:
    case skKeyFrame:
    case skReplacement:
        ComposeRegion(sample, image, imageCapacity);
        break;
    case skPointer:
        ComposePointer(sample, image, imageCapacity);
        break;
    default:
        break;
    }
}

void TBackBuffer::ComposeRegion(const TSampleHeader& sample, const uint8_t* image,
                                uint32_t capacity) {
    KIV_ASSERT(image, kUnit);
    TDibImage dib;
    const bool opened = static_cast<bool>(dib.Open(image, ImageSize(image, capacity)));
    KIV_ASSERT(!opened || dib.Info().BitCount != 4, kUnit);
    const TRect region{sample.Left, sample.Top, sample.Left + dib.Width(),
                       sample.Top + dib.Height()};
    bool lifted = false;
    if (FMouse->Visible() && FMouse->Intersects(region)) {
        FMouse->Hide();
        MarkPointer();
        lifted = true;
    }
    // An image that cannot be converted sets no row.
    KIV_ASSERT(opened, kUnit);
    BlitRegion(sample, dib);
    MarkChanged(region);
    if (lifted) {
        FMouse->ShowAt(-1, -1);
        MarkPointer();
    }
    if (sample.MouseX != 0 || sample.MouseY != 0) {
        MarkPointer();
        FMouse->ShowAt(sample.MouseX, sample.MouseY);
        MarkPointer();
    }
}

void TBackBuffer::BlitRegion(const TSampleHeader& sample, const TDibImage& dib) {
    const TBlitMode mode = sample.Kind == skDifference ? TBlitMode::Xor : TBlitMode::Copy;
    const int32_t w = dib.Width(), h = dib.Height();
    const bool rle = dib.Info().Compression == biRLE8 || dib.Info().Compression == biRLE4;
    // Worth a hand-over only for a whole picture; RLE decodes whole whatever is drawn.
    const int32_t half = h / 2;
    if (sample.Kind != skKeyFrame || rle || int64_t{w} * h < kSplitPixels || !FHelper ||
        !FHelper->Start([&] {
            dib.Blit(*FPicture, sample.Left, sample.Top + half, TRect{0, half, w, h}, mode);
        })) {
        dib.Blit(*FPicture, sample.Left, sample.Top, mode);
        return;
    }
    dib.Blit(*FPicture, sample.Left, sample.Top, TRect{0, 0, w, half}, mode);
    FHelper->Wait();
}

void TBackBuffer::ComposePointer(const TSampleHeader& sample, const uint8_t* image,
                                 uint32_t capacity) {
    if (sample.Length != 0 && image) {
        MarkPointer();
        FMouse->SetShape(image, ImageSize(image, capacity));
        MarkPointer();
    }
    if (sample.Left == 0 && sample.Top == 0) {
        FMouse->Hide();
        MarkPointer();
    } else if (sample.Left < Width() && sample.Top < Height()) {
        MarkPointer();
        FMouse->ShowAt(sample.Left, sample.Top);
        MarkPointer();
    }
}

void TBackBuffer::MarkChanged(TRect r) {
    FChangedRect = UnionRect(FChangedRect, ClipRect(r, Width(), Height()));
}

void TBackBuffer::MarkPointer() {
    if (FMouse->X() < 0 || FMouse->Y() < 0) throw EKivError("参数无效");
    MarkChanged(
        {FMouse->X(), FMouse->Y(), FMouse->X() + FMouse->Width(), FMouse->Y() + FMouse->Height()});
}

void TBackBuffer::ReadWithoutPointer(const std::function<void(const TBitmap24&)>& read) {
    if (!FPicture) return;
    if (!FMouse || !FMouse->Visible()) {
        read(*FPicture);
        return;
    }
    FMouse->Hide();
    // Put back even when read throws: the play thread draws on this picture.
    struct TRestore {
        TVirtualMouse& Mouse;
        ~TRestore() { Mouse.ShowAt(-1, -1); }
    } restore{*FMouse};
    read(*FPicture);
}

TRect TBackBuffer::TakeChangedRect() {
    TRect r = FChangedRect;
    FChangedRect = {};
    return r;
}

} // namespace kiv
