// The recorder of the synthetic screen: looks at the screen at every tick,
// sends what changed as regions, the pointer as pointer samples, and a key
// frame at the regular interval.
#include "synth/diff.h"
#include "synth/recording_writer.h"
#include "synth/scene.h"
#include "synth/synth.h"
#include "synth/user.h"

#include "platform/error.h"

#include <algorithm>

namespace kiv::synth {
namespace {

constexpr uint32_t kLargeRawMin = 512 * 1024;
constexpr size_t kMaxRegionsPerTick = 8;
constexpr uint32_t kMaxTime = 0x7FFFFFFF - 100000;

} // namespace

void ValidateSynthOptions(const TSynthOptions& o) {
    auto fail = [](const std::string& what) { throw EKivError("Bad synth options: " + what); };
    if (o.Width < 320 || o.Height < 240) fail("the picture must be at least 320 x 240");
    if (PlayableBits(o.Width, o.Height) == 0)
        fail("a " + std::to_string(o.Width) + " x " + std::to_string(o.Height) +
             " key frame does not fit the player's 5 MiB decode buffer even at 16 bits");
    if (o.SampleIntervalMs < 1 || o.SampleIntervalMs > 1000)
        fail("the sample interval must be 1 to 1000 ms");
    if (o.KeyFrameIntervalMs < 1) fail("the key frame interval must be at least 1 ms");
    if (o.Seconds < 1 && o.TargetMegabytes == 0) fail("the recording needs at least 1 second");
    if (o.Seconds > kMaxTime / 1000) fail("too many seconds");
    if (o.TargetMegabytes > 3800) fail("the target size must stay under 3800 MiB");
    if (o.JpegQuality < 1 || o.JpegQuality > 100) fail("the JPEG quality must be 1 to 100");
    if (o.ZlibLevel < 0 || o.ZlibLevel > 9) fail("the zlib level must be 0 to 9");
    if (o.OnlyCompression && *o.OnlyCompression > ckZlib) fail("unknown compression kind");
    if (o.LargeRawRecord && BmpImageSize(o.Width, o.Height, 24) <= kLargeRawMin)
        fail("the picture is too small for a raw record larger than 512 KiB");
}

namespace {

class TGenerator {
public:
    TGenerator(const TSynthOptions& options, TRecordingWriter& writer)
        : FOpt(options), FWriter(writer), FScene(options.Width, options.Height, options.Seed),
          FUser(FScene, options.Seed), FRng(options.Seed ^ 0xA5A5u),
          FCur(options.Width, options.Height), FPrev(options.Width, options.Height),
          FExact(size_t(options.Width) * options.Height, 0) {
        FEnc.JpegQuality = options.JpegQuality;
        FEnc.ZlibLevel = options.ZlibLevel;
        FDirty.Reset(options.Width, options.Height);
        for (auto shape : {TPointerShape::Arrow, TPointerShape::IBeam, TPointerShape::Hand})
            FShapes.push_back(MakePointer(shape, FScene.Scale()));
    }

    void Run() {
        FScene.RenderAll(FCur);
        FScene.ClearDamage();
        const uint64_t target = uint64_t(FOpt.TargetMegabytes) << 20;
        const uint32_t end = FOpt.Seconds * 1000;
        FLargeRawAt = FOpt.LargeRawRecord ? std::min<uint32_t>(1000, end / 2) : UINT32_MAX;
        uint32_t t = 0;
        for (;; t += FOpt.SampleIntervalMs) {
            const bool idle = FOpt.IdleMs && t >= FIdleFrom && t - FIdleFrom < FOpt.IdleMs;
            if (!idle) Tick(t);
            const uint32_t next = t + FOpt.SampleIntervalMs;
            if (target ? FWriter.SampleAreaSize() >= target || next > kMaxTime : next > end) break;
        }
        TSampleHeader h{};
        h.TimeStamp = Stamp(target ? t + FOpt.SampleIntervalMs : std::max(t, end));
        h.Kind = skMarker;
        Emit(h, nullptr, 0);
        Summary.Duration = h.TimeStamp;
    }

    const TPicture& Picture() const { return FCur; }
    TSynthSummary Summary;

private:
    uint32_t Stamp(uint32_t t) {
        uint32_t s = FAny ? std::max(t, FLast + 1) : t;
        FAny = true;
        FLast = s;
        return s;
    }

    void Emit(const TSampleHeader& h, const uint8_t* payload, size_t size) {
        FWriter.AddSample(h, payload, size);
        ++Summary.Records;
        ++Summary.ByKind[h.Kind];
        if (h.Kind != skMarker && size) ++Summary.ByCompression[h.Compression];
        if (h.Kind == skKeyFrame) ++Summary.KeyFrames;
    }

    void Tick(uint32_t t) {
        if (t > 0) {
            FUser.Advance(t);
            FScene.Advance(t);
        }
        const TTileMask& damage = FScene.Damage();
        if (damage.Any()) FScene.Render(FCur, damage.Rects());

        // Where the pointer's image goes: its top-left, the hot spot on the point.
        const size_t shape = size_t(FUser.Shape());
        const int32_t px = std::max(1, FUser.X() - FShapes[shape].HotX);
        const int32_t py = std::max(1, FUser.Y() - FShapes[shape].HotY);
        const bool shapeChanged = shape != FShapeShown;
        FPointerMoved = px != FPointerX || py != FPointerY;
        FPointerX = px;
        FPointerY = py;

        if (t >= FNextKey) {
            KeyFrame(t);
            while (FNextKey <= t)
                FNextKey += FOpt.KeyFrameIntervalMs;
        } else {
            if (damage.Any()) Regions(t, damage);
            if (t >= FLargeRawAt) LargeRaw(t);
        }
        FScene.ClearDamage();

        if (shapeChanged || FPointerMoved) {
            TSampleHeader h{};
            h.TimeStamp = Stamp(t);
            h.Left = uint16_t(px);
            h.Top = uint16_t(py);
            h.Kind = skPointer;
            if (shapeChanged) {
                FShapeShown = shape;
                const TPicture& img = FShapes[shape].Image;
                TCompression c = FOpt.OnlyCompression.value_or(FRng.Chance(0.5) ? ckRaw : ckZlib);
                h.Compression = c;
                const auto& payload = FEnc.Encode(img, img.Bounds(), c);
                Emit(h, payload.data(), payload.size());
            } else {
                Emit(h, nullptr, 0);
            }
        }
        if (FOpt.MarkerIntervalMs && t >= FNextMarker) {
            if (t > 0) {
                TSampleHeader h{};
                h.TimeStamp = Stamp(t);
                h.Kind = skMarker;
                const std::string label = "Chapter " + std::to_string(++FMarkers);
                h.Length = static_cast<uint32_t>(label.size());
                Emit(h, reinterpret_cast<const uint8_t*>(label.data()), label.size());
                FIdleFrom = t + FOpt.SampleIntervalMs;
            }
            FNextMarker = t + FOpt.MarkerIntervalMs;
        }
    }

    TCompression KeyFrameCompression() {
        const bool jpegFits = PlayableBits(FOpt.Width, FOpt.Height) == 24;
        if (FOpt.OnlyCompression)
            return *FOpt.OnlyCompression == ckJpeg && !jpegFits ? ckZlib : *FOpt.OnlyCompression;
        static constexpr TCompression kCycle[] = {ckZlib, ckJpeg, ckLzo};
        const TCompression c = kCycle[Summary.KeyFrames % 3];
        return c == ckJpeg && !jpegFits ? ckZlib : c;
    }

    void KeyFrame(uint32_t t) {
        const TCompression c = KeyFrameCompression();
        const auto& payload = FEnc.Encode(FCur, FCur.Bounds(), c);
        TSampleHeader h{};
        h.TimeStamp = Stamp(t);
        h.Kind = skKeyFrame;
        h.Compression = c;
        Emit(h, payload.data(), payload.size());
        MarkExact(FCur.Bounds(), c != ckJpeg && FEnc.LastBits() == 24);
        FPrev = FCur;
    }

    bool AllExact(const TRect& r) const {
        for (int32_t y = r.Top; y < r.Bottom; ++y) {
            const uint8_t* row = &FExact[size_t(y) * FOpt.Width];
            if (std::find(row + r.Left, row + r.Right, 0) != row + r.Right) return false;
        }
        return true;
    }

    void MarkExact(const TRect& r, bool exact) {
        for (int32_t y = r.Top; y < r.Bottom; ++y)
            std::fill_n(&FExact[size_t(y) * FOpt.Width + size_t(r.Left)], r.Width(), exact ? 1 : 0);
    }

    void Regions(uint32_t t, const TTileMask& damage) {
        FDirty.Clear();
        DiffTiles(FPrev, FCur, damage, FDirty);
        if (!FDirty.Any()) return;
        const std::vector<TRect> rects = ChangedRegions(FPrev, FCur, FDirty, kMaxRegionsPerTick);
        // The pointer rides on the last region now and then, as recorders do
        // while something is dragged.
        const bool carry = FPointerMoved && (FUser.Dragging() || FRng.Chance(0.5));
        for (size_t i = 0; i < rects.size(); ++i) {
            const TRect& r = rects[i];
            const bool fits24 = PlayableBits(r.Width(), r.Height()) == 24;
            // An exclusive-or needs the player's pixels to be exactly ours.
            bool diff = fits24 && AllExact(r);
            TCompression c;
            if (FOpt.OnlyCompression) {
                c = *FOpt.OnlyCompression;
                if (c == ckJpeg && !fits24) c = ckZlib;
                diff = diff && c != ckJpeg && FRng.Chance(0.3);
            } else if (fits24 && r.Area() >= 64 * 64 && FScene.IsPhotoLike(r)) {
                c = ckJpeg;
                diff = false;
            } else {
                diff = diff && FRng.Chance(0.35);
                const uint64_t size = BmpImageSize(r.Width(), r.Height(), fits24 ? 24 : 16);
                if (size <= 6 * 1024)
                    c = ckRaw;
                else
                    c = FRng.Chance(size <= 256 * 1024 ? 0.7 : 0.4) ? ckLzo : ckZlib;
            }
            const auto& payload =
                diff ? FEnc.EncodeXor(FPrev, FCur, r, c) : FEnc.Encode(FCur, r, c);
            TSampleHeader h{};
            h.TimeStamp = Stamp(t);
            h.Left = uint16_t(r.Left);
            h.Top = uint16_t(r.Top);
            h.Kind = diff ? skDifference : skReplacement;
            h.Compression = c;
            if (carry && i + 1 == rects.size()) {
                h.MouseX = uint16_t(FPointerX);
                h.MouseY = uint16_t(FPointerY);
                FPointerMoved = false;
            }
            Emit(h, payload.data(), payload.size());
            MarkExact(r, c != ckJpeg && FEnc.LastBits() == 24);
            CopyRect(FPrev, FCur, r);
        }
    }

    void LargeRaw(uint32_t t) {
        FLargeRawAt = UINT32_MAX;
        const uint64_t row = BmpImageSize(FOpt.Width, 1, 24) - kBmpHeadersSize;
        const int32_t rows =
            std::min<int32_t>(FOpt.Height, int32_t((kLargeRawMin - kBmpHeadersSize) / row) + 4);
        const TRect r{0, 0, FOpt.Width, rows};
        const auto& payload = FEnc.Encode(FCur, r, ckRaw, TBmpDepth::Bits24);
        TSampleHeader h{};
        h.TimeStamp = Stamp(t);
        h.Kind = skReplacement;
        h.Compression = ckRaw;
        Emit(h, payload.data(), payload.size());
        MarkExact(r, true);
        CopyRect(FPrev, FCur, r);
    }

    const TSynthOptions& FOpt;
    TRecordingWriter& FWriter;
    TScene FScene;
    TUser FUser;
    TRng FRng;
    TPayloadEncoder FEnc;
    TPicture FCur, FPrev;        // the screen now, and as the player has it (ideally)
    std::vector<uint8_t> FExact; // 1 where the player's pixel is exactly FPrev's
    TTileMask FDirty;
    std::vector<TPointerImage> FShapes;
    size_t FShapeShown = SIZE_MAX;
    int32_t FPointerX = -1, FPointerY = -1;
    bool FPointerMoved = false;
    bool FAny = false;
    uint32_t FLast = 0, FNextKey = 0, FNextMarker = 0, FLargeRawAt = UINT32_MAX;
    uint32_t FMarkers = 0, FIdleFrom = UINT32_MAX;
};

} // namespace

void WriteSynthRecording(const std::string& path, const TSynthOptions& options,
                         TSynthSummary* summary) {
    ValidateSynthOptions(options);
    TRecordingWriter writer(path, options.Width, options.Height);
    TGenerator gen(options, writer);
    gen.Run();
    writer.Finish();
    if (summary) {
        *summary = gen.Summary;
        summary->Bytes = kFileHeaderSize + writer.SampleAreaSize() + kIndexHeaderSize +
                         uint64_t(kIndexEntrySize) * gen.Summary.KeyFrames;
    }
}

std::vector<uint8_t> MakeSynthRecording(const TSynthOptions& options, TPicture* finalPicture,
                                        TSynthSummary* summary) {
    ValidateSynthOptions(options);
    TRecordingWriter writer(options.Width, options.Height);
    TGenerator gen(options, writer);
    gen.Run();
    std::vector<uint8_t> bytes = writer.Finish();
    if (finalPicture) *finalPicture = gen.Picture();
    if (summary) {
        *summary = gen.Summary;
        summary->Bytes = bytes.size();
    }
    return bytes;
}

TPicture RenderScreen(uint16_t width, uint16_t height, uint32_t seed, uint32_t atMs) {
    TScene scene(width, height, seed);
    TUser user(scene, seed);
    for (uint32_t t = 40; t <= atMs; t += 40) {
        user.Advance(t);
        scene.Advance(t);
        scene.ClearDamage();
    }
    TPicture pic(width, height);
    scene.RenderAll(pic);
    return pic;
}

std::vector<TPicture> RenderScreens(uint16_t width, uint16_t height, uint32_t seed,
                                    const std::vector<uint32_t>& atMs) {
    TScene scene(width, height, seed);
    TUser user(scene, seed);
    std::vector<TPicture> out;
    uint32_t t = 40;
    for (uint32_t at : atMs) {
        for (; t <= at; t += 40) {
            user.Advance(t);
            scene.Advance(t);
            scene.ClearDamage();
        }
        out.emplace_back(width, height);
        scene.RenderAll(out.back());
    }
    return out;
}

} // namespace kiv::synth
