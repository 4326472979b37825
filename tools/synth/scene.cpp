#include "synth/scene.h"

#include <cstdio>

namespace kiv::synth {
namespace {

constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

} // namespace

TScene::TScene(int32_t width, int32_t height, uint32_t seed)
    : FWidth(width), FHeight(height), FScale(std::clamp(height / 540, 1, 3)), FBorder(FScale + 1),
      FTitle((kCellHeight + 6) * FScale), FRng(seed), FClockStart(8 * 3600 + seed % 7200) {
    FDamage.Reset(width, height);
    const int32_t s = FScale;

    FWallpaper.Resize(width, height);
    PaintWallpaper(FWallpaper, seed);
    struct {
        TIcon Icon;
        const char* Label;
    } icons[] = {{TIcon::Computer, "Computer"},
                 {TIcon::Folder, "Documents"},
                 {TIcon::Recordings, "Recordings"},
                 {TIcon::Trash, "Recycle Bin"}};
    for (size_t i = 0; i < std::size(icons); ++i) {
        const int32_t x = 26 * s, y = 12 * s + int32_t(i) * 60 * s;
        PaintIcon(FWallpaper, x, y, icons[i].Icon, s);
        const int32_t tx = x + 16 * s - TextWidth(icons[i].Label, s) / 2;
        DrawText(FWallpaper, tx + 1, y + 35 * s + 1, icons[i].Label, Rgb(0, 0, 0), s);
        DrawText(FWallpaper, tx, y + 35 * s, icons[i].Label, Rgb(255, 255, 255), s);
    }

    const int32_t taskbarH = (kCellHeight + 10) * s;
    FTaskbarRect = {0, height - taskbarH, width, height};
    FTaskbar.Resize(width, taskbarH);

    auto add = [&](TWindowKind kind, const char* title, double x, double y, double w, double h) {
        TWindow win{kind,
                    title,
                    RectXYWH(int32_t(x * width), int32_t(y * height), int32_t(w * width),
                             int32_t(h * height)),
                    {},
                    {}};
        win.Surface.Resize(win.Frame.Width(), win.Frame.Height());
        win.Client = {FBorder, FBorder + FTitle, win.Frame.Width() - FBorder,
                      win.Frame.Height() - FBorder};
        FWindows.push_back(std::move(win));
    };
    add(TWindowKind::Photos, "Photos - Holiday 2023", 0.56, 0.05, 0.40, 0.41);
    add(TWindowKind::Terminal, "Terminal - wei@build: ~/kivplayer", 0.40, 0.47, 0.56, 0.42);
    add(TWindowKind::Editor, "notes.txt - Editor", 0.05, 0.07, 0.46, 0.60);
    FPhotos.Place(FWindows[0].Client, s, seed ^ 0x5EED);
    FTerminal.Place(FWindows[1].Client, s);
    FEditor.Place(FWindows[2].Client, s);
    FZOrder = {0, 1, 2};
    FActive = 2;
    for (size_t i = 0; i < FWindows.size(); ++i)
        PaintWindow(i);
    PaintTaskbar();
    PaintClock(0);
    FDamage.MarkAll();
}

size_t TScene::Find(TWindowKind kind) const {
    for (size_t i = 0; i < FWindows.size(); ++i)
        if (FWindows[i].Kind == kind) return i;
    return 0;
}

TRect TScene::TitleBar(size_t i) const {
    const TRect& f = FWindows[i].Frame;
    return {f.Left + FBorder, f.Top + FBorder, f.Right - FBorder, f.Top + FBorder + FTitle};
}

TRect TScene::ClientArea(size_t i) const {
    return FWindows[i].Client.Offset(FWindows[i].Frame.Left, FWindows[i].Frame.Top);
}

TRect TScene::EditorText() const {
    const TWindow& w = FWindows[Find(TWindowKind::Editor)];
    return FEditor.TextArea().Offset(w.Frame.Left, w.Frame.Top);
}

TRect TScene::PhotoImage() const {
    const TWindow& w = FWindows[Find(TWindowKind::Photos)];
    return FPhotos.ImageRect().Offset(w.Frame.Left, w.Frame.Top);
}

TRect TScene::PhotoNext() const {
    const TWindow& w = FWindows[Find(TWindowKind::Photos)];
    return FPhotos.NextButton().Offset(w.Frame.Left, w.Frame.Top);
}

TRect TScene::TaskbarButton(size_t i) const {
    const int32_t s = FScale;
    const int32_t start = TextWidth("Start", s) + 24 * s;
    const int32_t clock = TextWidth("Mon 00:00:00", s) + 20 * s;
    const int32_t room = FWidth - start - clock - 8 * s;
    const int32_t w = std::min(150 * s, room / int32_t(FWindows.size()) - 4 * s);
    return RectXYWH(start + 6 * s + int32_t(i) * (w + 4 * s), FTaskbarRect.Top + 3 * s,
                    std::max(w, 8), FTaskbarRect.Height() - 6 * s);
}

TRect TScene::ClockRect() const {
    const int32_t w = TextWidth("Mon 00:00:00", FScale) + 16 * FScale;
    return {FWidth - w, FTaskbarRect.Top, FWidth, FHeight};
}

int32_t TScene::TopWindowAt(int32_t x, int32_t y) const {
    for (auto it = FZOrder.rbegin(); it != FZOrder.rend(); ++it)
        if (FWindows[*it].Frame.Contains(x, y)) return int32_t(*it);
    return -1;
}

TPointerShape TScene::ShapeAt(int32_t x, int32_t y) const {
    if (FTaskbarRect.Contains(x, y)) {
        for (size_t i = 0; i < FWindows.size(); ++i)
            if (TaskbarButton(i).Contains(x, y)) return TPointerShape::Hand;
        return TPointerShape::Arrow;
    }
    const int32_t w = TopWindowAt(x, y);
    if (w < 0) return TPointerShape::Arrow;
    const size_t i = size_t(w);
    switch (FWindows[i].Kind) {
    case TWindowKind::Editor:
        return EditorText().Contains(x, y) ? TPointerShape::IBeam : TPointerShape::Arrow;
    case TWindowKind::Terminal:
        return ClientArea(i).Contains(x, y) ? TPointerShape::IBeam : TPointerShape::Arrow;
    case TWindowKind::Photos:
        return PhotoNext().Contains(x, y) ? TPointerShape::Hand : TPointerShape::Arrow;
    }
    return TPointerShape::Arrow;
}

bool TScene::IsPhotoLike(const TRect& r) const {
    const TRect photo = PhotoImage();
    if (r.Intersect(photo).Area() * 10 < r.Area() * 9) return false;
    const size_t p = Find(TWindowKind::Photos);
    bool above = false;
    for (size_t i : FZOrder) {
        if (above && !FWindows[i].Frame.Intersect(r).IsEmpty()) return false;
        if (i == p) above = true;
    }
    return true;
}

void TScene::PaintChrome(size_t i) {
    TWindow& w = FWindows[i];
    TPicture& s = w.Surface;
    const bool active = i == FActive;
    const int32_t sc = FScale;
    FrameRect(s, s.Bounds(), Rgb(40, 40, 40));
    for (int32_t k = 1; k < FBorder; ++k)
        FrameRect(s, {k, k, s.Width() - k, s.Height() - k}, Rgb(212, 208, 200));
    const TRect bar{FBorder, FBorder, s.Width() - FBorder, FBorder + FTitle};
    if (active)
        FillGradient(s, bar, Rgb(10, 80, 170), Rgb(58, 135, 215));
    else
        FillGradient(s, bar, Rgb(125, 125, 130), Rgb(170, 170, 175));
    const int32_t b = FTitle - 4 * sc;
    int32_t x = bar.Right - 2 * sc - 3 * (b + 2 * sc);
    DrawText(s, bar.Left + 6 * sc, bar.Top + 3 * sc,
             (FEdited && w.Kind == TWindowKind::Editor ? "*" : "") + w.Title,
             active ? Rgb(255, 255, 255) : Rgb(225, 225, 225), sc,
             {bar.Left, bar.Top, x - 4 * sc, bar.Bottom});
    const char* glyphs[] = {"_", "o", "x"};
    for (int k = 0; k < 3; ++k, x += b + 2 * sc) {
        TRect btn = RectXYWH(x, bar.Top + 2 * sc, b, b);
        FillRect(s, btn, k == 2 && active ? Rgb(200, 65, 50) : Rgb(212, 208, 200));
        BevelRect(s, btn, true);
        DrawText(s, btn.Left + (b - kCellWidth * sc) / 2 + sc, btn.Top + (b - kCellHeight * sc) / 2,
                 glyphs[k], k == 2 && active ? Rgb(255, 255, 255) : Rgb(0, 0, 0), sc, btn);
    }
}

void TScene::PaintWindow(size_t i) {
    PaintChrome(i);
    TPicture& s = FWindows[i].Surface;
    switch (FWindows[i].Kind) {
    case TWindowKind::Editor:
        FEditor.PaintAll(s);
        break;
    case TWindowKind::Terminal:
        FTerminal.PaintAll(s);
        break;
    case TWindowKind::Photos:
        FPhotos.PaintAll(s);
        break;
    }
}

void TScene::PaintTaskbar() {
    const int32_t s = FScale;
    FillGradient(FTaskbar, FTaskbar.Bounds(), Rgb(44, 50, 62), Rgb(22, 24, 30));
    FillRect(FTaskbar, {0, 0, FWidth, 1}, Rgb(90, 100, 120));
    const TRect start =
        RectXYWH(3 * s, 3 * s, TextWidth("Start", s) + 16 * s, FTaskbar.Height() - 6 * s);
    FillGradient(FTaskbar, start, Rgb(70, 160, 80), Rgb(35, 110, 45));
    DrawText(FTaskbar, start.Left + 8 * s, start.Top + (start.Height() - kCellHeight * s) / 2,
             "Start", Rgb(255, 255, 255), s);
    for (size_t i = 0; i < FWindows.size(); ++i) {
        const TRect b = TaskbarButton(i).Offset(0, -FTaskbarRect.Top);
        const bool active = i == FActive;
        FillRect(FTaskbar, b, active ? Rgb(80, 92, 118) : Rgb(52, 58, 72));
        BevelRect(FTaskbar, b, !active);
        DrawText(FTaskbar, b.Left + 6 * s, b.Top + (b.Height() - kCellHeight * s) / 2,
                 FWindows[i].Title, Rgb(235, 235, 235), s,
                 {b.Left + 2, b.Top, b.Right - 4, b.Bottom});
    }
    FDamage.Mark(FTaskbarRect);
}

void TScene::PaintClock(uint32_t now) {
    const uint32_t t = FClockStart + now / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%s %02u:%02u:%02u", kDays[(t / 86400 + 1) % 7],
                  (t / 3600) % 24, (t / 60) % 60, t % 60);
    const TRect r = ClockRect();
    const TRect local = r.Offset(0, -FTaskbarRect.Top);
    FillGradient(FTaskbar, {local.Left, 0, local.Right, local.Bottom}, Rgb(44, 50, 62),
                 Rgb(22, 24, 30));
    FillRect(FTaskbar, {local.Left, 0, local.Right, 1}, Rgb(90, 100, 120));
    FillRect(FTaskbar, {local.Left, 4 * FScale, local.Left + 1, local.Bottom - 4 * FScale},
             Rgb(90, 100, 120));
    DrawText(FTaskbar, local.Left + 8 * FScale,
             (local.Height() - kCellHeight * FScale) / 2 + FScale, text, Rgb(255, 255, 255),
             FScale);
    FDamage.Mark(r);
}

void TScene::MarkSurface(size_t window, const TDamage& d) {
    const TRect& f = FWindows[window].Frame;
    for (const TRect& r : d)
        FDamage.Mark(r.Offset(f.Left, f.Top).Intersect(f));
}

void TScene::Focus(size_t i) {
    const bool raise = FZOrder.back() != i;
    if (!raise && FActive == i) return;
    const size_t old = FActive;
    FActive = i;
    FZOrder.erase(std::find(FZOrder.begin(), FZOrder.end(), i));
    FZOrder.push_back(i);
    if (old != i) {
        if (FWindows[old].Kind == TWindowKind::Editor) {
            FScratch.clear();
            FEditor.SetCaret(FWindows[old].Surface, FScratch, false);
            MarkSurface(old, FScratch);
        }
        PaintChrome(old);
        FDamage.Mark(TitleBar(old));
        PaintChrome(i);
    }
    FDamage.Mark(FWindows[i].Frame);
    PaintTaskbar();
    FClockSecond = UINT32_MAX; // the taskbar repaint covered the clock
}

void TScene::Click(int32_t x, int32_t y, uint32_t now) {
    for (size_t i = 0; i < FWindows.size(); ++i)
        if (TaskbarButton(i).Contains(x, y)) return Focus(i);
    const int32_t w = TopWindowAt(x, y);
    if (w < 0) return;
    Focus(size_t(w));
    if (FWindows[size_t(w)].Kind == TWindowKind::Photos && PhotoNext().Contains(x, y))
        FPhotos.Step(now, 1, FRng.Chance(0.4));
}

void TScene::MoveWindow(size_t index, int32_t left, int32_t top) {
    TWindow& w = FWindows[index];
    const TRect moved = RectXYWH(left, top, w.Frame.Width(), w.Frame.Height());
    if (moved == w.Frame) return;
    FDamage.Mark(w.Frame);
    FDamage.Mark(moved);
    w.Frame = moved;
}

void TScene::SetTyping(bool on) {
    FTyping = on;
}

void TScene::StartBuild() {
    if (!FTerminal.Busy()) FTerminal.StartBuild(FRng);
}

void TScene::Advance(uint32_t now) {
    if (now / 1000 != FClockSecond) {
        FClockSecond = now / 1000;
        PaintClock(now);
    }
    const size_t editor = Find(TWindowKind::Editor);
    TPicture& editorSurface = FWindows[editor].Surface;
    FScratch.clear();
    if (FTyping && FActive == editor) {
        if (!FEdited) {
            FEdited = true;
            PaintChrome(editor);
            FDamage.Mark(TitleBar(editor));
        }
        if (FNextKey + 2000 < now) FNextKey = now;
        for (int n = 0; n < 4 && now >= FNextKey; ++n)
            FNextKey += FEditor.TypeNext(editorSurface, FScratch, FRng);
        FNextBlink = now + 530;
    } else if (FActive == editor && now >= FNextBlink) {
        FEditor.SetCaret(editorSurface, FScratch, !FEditor.CaretOn());
        FNextBlink = now + 530;
    }
    MarkSurface(editor, FScratch);

    const size_t term = Find(TWindowKind::Terminal);
    FScratch.clear();
    FTerminal.Advance(now, FWindows[term].Surface, FScratch, FRng);
    MarkSurface(term, FScratch);

    const size_t photos = Find(TWindowKind::Photos);
    if (!FPhotos.Pending() && now > FPhotos.LastChange() + 15000)
        FPhotos.Step(now, 1, FRng.Chance(0.5)); // the slide show moves on by itself
    FScratch.clear();
    FPhotos.Advance(now, FWindows[photos].Surface, FScratch);
    MarkSurface(photos, FScratch);
}

void TScene::Render(TPicture& pic, const std::vector<TRect>& rects) const {
    for (const TRect& clip : rects) {
        const TRect r = clip.Intersect(pic.Bounds());
        if (r.IsEmpty()) continue;
        Blit(pic, r.Left, r.Top, FWallpaper, r, r);
        for (size_t i : FZOrder) {
            const TWindow& w = FWindows[i];
            Blit(pic, w.Frame.Left, w.Frame.Top, w.Surface, w.Surface.Bounds(), r);
        }
        Blit(pic, 0, FTaskbarRect.Top, FTaskbar, FTaskbar.Bounds(), r);
    }
}

} // namespace kiv::synth
