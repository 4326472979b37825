#include "synth/apps.h"

#include <cstdio>
#include <cstring>

namespace kiv::synth {
namespace {

constexpr const char kNotes[] =
    "Project notes, week 14\n"
    "\n"
    "The player opens recordings from disk, from a web server and from the live "
    "server. Seeking goes through the index of key frames, so a long recording "
    "starts playing at once even over a slow line.\n"
    "\n"
    "Open points:\n"
    "- The thumbnail strip should follow the position while playing.\n"
    "- Check how the picture scales when the window is made very small.\n"
    "- Measure the decoder on large key frames; it must keep up with 25 pictures "
    "a second at full size.\n"
    "- Ask the support team which address forms customers really use.\n"
    "\n"
    "Meeting on Thursday at 10:30 with Anna, Wei and Tomas. Agenda: release plan, "
    "test recordings (we need a few long ones with plenty of typing, scrolling and "
    "window moves), and the installer.\n"
    "\n"
    "Dear Anna,\n"
    "thank you for the new recordings. The one from the training room plays well, "
    "but the pointer jumps once near minute 12; could you send me the original file? "
    "I will look at it on Monday.\n"
    "Best regards,\n"
    "Wei\n"
    "\n"
    "TODO: 1) fix the clock in the status line, 2) update the help pages, "
    "3) try the multicast cast on the second network card.\n"
    "\n";

constexpr TColor kEditorPaper = Rgb(255, 255, 255);
constexpr TColor kEditorInk = Rgb(20, 20, 20);
constexpr TColor kChrome = Rgb(236, 236, 236);
constexpr TColor kChromeInk = Rgb(50, 50, 50);
constexpr TColor kTermBack = Rgb(18, 18, 24);
constexpr TColor kTermText = Rgb(204, 204, 204);
constexpr TColor kTermGreen = Rgb(90, 200, 120);
constexpr TColor kTermYellow = Rgb(230, 200, 80);
constexpr TColor kTermBlue = Rgb(120, 170, 255);

constexpr const char* kSources[] = {
    "src/platform/thread.cpp",       "src/platform/event.cpp",       "src/codec/unzip.cpp",
    "src/codec/jpeg_glue.cpp",       "src/format/kiv_format.cpp",    "src/format/record_cutter.cpp",
    "src/buffers/frames_buffer.cpp", "src/buffers/index_table.cpp",  "src/net/http_stream.cpp",
    "src/net/address.cpp",           "src/sources/fill_thread.cpp",  "src/sources/live_source.cpp",
    "src/playback/play_thread.cpp",  "src/playback/back_buffer.cpp", "src/control/control_core.cpp",
    "src/nails/nail_index.cpp",      "src/ui/player_widget.cpp",     "apps/kivtool/main.cpp"};
constexpr const char* kTests[] = {"platform", "codec",    "format",  "buffers", "net",
                                  "sources",  "playback", "control", "nails"};

std::string Format(const char* fmt, int a, int b = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

} // namespace

// ---- editor ---------------------------------------------------------------

void TEditor::Place(const TRect& area, int32_t scale) {
    FArea = area;
    FScale = scale;
    const int32_t strip = (kCellHeight + 4) * scale;
    FMenu = {area.Left, area.Top, area.Right, area.Top + strip};
    FStatus = {area.Left, std::max(FMenu.Bottom, area.Bottom - strip), area.Right, area.Bottom};
    FText = {area.Left, FMenu.Bottom, area.Right, FStatus.Top};
    FCols = std::max(1, (FText.Width() - 8 * scale) / (kCellWidth * scale));
    FRows = std::max(1, (FText.Height() - 2 * scale) / (kCellHeight * scale));
    FLines.assign(size_t(FRows), std::string());
    FRow = 0;
}

TRect TEditor::CaretRect() const {
    int32_t x =
        FText.Left + 4 * FScale + int32_t(FLines[size_t(FRow)].size()) * kCellWidth * FScale;
    int32_t y = FText.Top + 2 * FScale + FRow * kCellHeight * FScale;
    return RectXYWH(x - FScale, y, FScale, (kCellHeight - 1) * FScale);
}

void TEditor::PaintLine(TPicture& s, int32_t row) const {
    int32_t y = FText.Top + 2 * FScale + row * kCellHeight * FScale;
    DrawText(s, FText.Left + 4 * FScale, y, FLines[size_t(row)], kEditorInk, FScale, FText);
}

void TEditor::PaintAll(TPicture& s) const {
    FillRect(s, FMenu, kChrome);
    DrawText(s, FMenu.Left + 6 * FScale, FMenu.Top + 3 * FScale, "File  Edit  View  Format  Help",
             kChromeInk, FScale, FMenu);
    FillRect(s, FText, kEditorPaper);
    for (int32_t r = 0; r < FRows; ++r)
        PaintLine(s, r);
    TDamage ignored;
    PaintStatus(s, ignored);
    if (FCaret) FillRect(s, CaretRect(), kEditorInk);
}

void TEditor::PaintStatus(TPicture& s, TDamage& d) const {
    FillRect(s, FStatus, kChrome);
    FillRect(s, {FStatus.Left, FStatus.Top, FStatus.Right, FStatus.Top + 1}, Rgb(200, 200, 200));
    std::string text = Format("Ln %d, Col %d", FLine + 1, int(FLines[size_t(FRow)].size()) + 1);
    DrawText(s, FStatus.Left + 6 * FScale, FStatus.Top + 3 * FScale, text, kChromeInk, FScale,
             FStatus);
    int32_t right = FStatus.Right - TextWidth("UTF-8   100%", FScale) - 6 * FScale;
    DrawText(s, right, FStatus.Top + 3 * FScale, "UTF-8   100%", kChromeInk, FScale, FStatus);
    d.push_back({FStatus.Left, FStatus.Top,
                 std::min(FStatus.Right, FStatus.Left + TextWidth(text, FScale) + 12 * FScale),
                 FStatus.Bottom});
}

void TEditor::SetCaret(TPicture& s, TDamage& d, bool on) {
    if (on == FCaret) return;
    FCaret = on;
    TRect r = CaretRect().Intersect(FText);
    FillRect(s, r, on ? kEditorInk : kEditorPaper);
    d.push_back(r);
}

void TEditor::NewLine(TPicture& s, TDamage& d) {
    ++FLine;
    if (FRow + 1 < FRows) {
        ++FRow;
        return;
    }
    const int32_t lh = kCellHeight * FScale;
    TRect rows{FText.Left, FText.Top + 2 * FScale, FText.Right,
               FText.Top + 2 * FScale + FRows * lh};
    ScrollUp(s, rows, lh);
    FillRect(s, {rows.Left, rows.Bottom - lh, rows.Right, rows.Bottom}, kEditorPaper);
    FLines.erase(FLines.begin());
    FLines.emplace_back();
    d.push_back(rows);
}

uint32_t TEditor::TypeNext(TPicture& s, TDamage& d, TRng& rng) {
    const size_t textLen = sizeof kNotes - 1;
    const char c = kNotes[FPos];
    FPos = (FPos + 1) % textLen;
    SetCaret(s, d, false);
    std::string& line = FLines[size_t(FRow)];
    if (c == '\n') {
        NewLine(s, d);
    } else {
        size_t word = 0;
        while (c == ' ' && word < 40 && kNotes[(FPos + word) % textLen] > ' ')
            ++word;
        bool wrap = int32_t(line.size()) >= FCols ||
                    (c == ' ' && int32_t(line.size() + 1 + word) > FCols && !line.empty());
        if (wrap) NewLine(s, d);
        if (!wrap || c != ' ') {
            std::string& cur = FLines[size_t(FRow)];
            int32_t x = FText.Left + 4 * FScale + int32_t(cur.size()) * kCellWidth * FScale;
            int32_t y = FText.Top + 2 * FScale + FRow * kCellHeight * FScale;
            DrawText(s, x, y, std::string_view(&c, 1), kEditorInk, FScale, FText);
            d.push_back(RectXYWH(x, y, kCellWidth * FScale, kCellHeight * FScale).Intersect(FText));
            cur.push_back(c);
        }
    }
    SetCaret(s, d, true);
    PaintStatus(s, d);

    if (rng.Chance(0.03)) return uint32_t(rng.Range(900, 2500)); // thinking
    if (c == '\n') return uint32_t(rng.Range(500, 1400));
    if (c == '.' || c == ',' || c == ':') return uint32_t(rng.Range(250, 700));
    if (c == ' ') return uint32_t(rng.Range(90, 260));
    return uint32_t(rng.Range(55, 170));
}

// ---- terminal -------------------------------------------------------------

void TTerminal::Place(const TRect& area, int32_t scale) {
    FArea = area;
    FScale = scale;
    FCols = std::max(1, (area.Width() - 6 * scale) / (kCellWidth * scale));
    FRows = std::max(1, (area.Height() - 4 * scale) / (kCellHeight * scale));
    FLines.assign(size_t(FRows), TLine{std::string(), kTermText});
    FLines[0] = {"$ ", kTermBlue};
    FRow = 0;
    FCol = 2;
}

TRect TTerminal::CellRect(int32_t row, int32_t col) const {
    return RectXYWH(FArea.Left + 3 * FScale + col * kCellWidth * FScale,
                    FArea.Top + 2 * FScale + row * kCellHeight * FScale, kCellWidth * FScale,
                    kCellHeight * FScale);
}

void TTerminal::PaintAll(TPicture& s) const {
    FillRect(s, FArea, kTermBack);
    for (int32_t r = 0; r < FRows; ++r) {
        TRect c = CellRect(r, 0);
        DrawText(s, c.Left, c.Top, FLines[size_t(r)].Text, FLines[size_t(r)].Color, FScale, FArea);
    }
    FillRect(s, CellRect(FRow, FCol).Intersect(FArea), kTermText);
}

void TTerminal::DrawCursor(TPicture& s, TDamage& d, bool on) const {
    if (FCol >= FCols) return;
    TRect c = CellRect(FRow, FCol).Intersect(FArea);
    FillRect(s, c, on ? kTermText : kTermBack);
    d.push_back(c);
}

void TTerminal::Put(TPicture& s, TDamage& d, char ch, TColor c) {
    if (FCol >= FCols) EndLine(s, d);
    DrawCursor(s, d, false);
    TRect cell = CellRect(FRow, FCol);
    DrawText(s, cell.Left, cell.Top, std::string_view(&ch, 1), c, FScale, FArea);
    FLines[size_t(FRow)].Text.push_back(ch);
    ++FCol;
    DrawCursor(s, d, true);
}

void TTerminal::EndLine(TPicture& s, TDamage& d) {
    DrawCursor(s, d, false);
    FCol = 0;
    if (FRow + 1 < FRows) {
        ++FRow;
    } else {
        const int32_t lh = kCellHeight * FScale;
        TRect rows{FArea.Left, FArea.Top + 2 * FScale, FArea.Right,
                   FArea.Top + 2 * FScale + FRows * lh};
        ScrollUp(s, rows, lh);
        FillRect(s, {rows.Left, rows.Bottom - lh, rows.Right, rows.Bottom}, kTermBack);
        FLines.erase(FLines.begin());
        FLines.push_back({std::string(), kTermText});
        d.push_back(rows.Intersect(FArea));
    }
    DrawCursor(s, d, true);
}

void TTerminal::StartBuild(TRng& rng) {
    ++FBuild;
    auto line = [this](std::string t, TColor c) {
        FQueue.push_back({std::move(t), c, false, true});
    };
    if (FBuild % 3 == 0) {
        FQueue.push_back({"ctest --test-dir build", kTermText, true, true});
        line("Test project /home/wei/kivplayer/build", kTermText);
        const int n = int(std::size(kTests));
        for (int i = 0; i < n; ++i) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "%2d/%d Test #%d: %-10s ......   Passed  %5.2f sec",
                          i + 1, n, i + 1, kTests[i], rng.Range(4, 900) / 100.0);
            line(buf, kTermText);
        }
        line("100% tests passed, 0 tests failed out of " + std::to_string(n), kTermGreen);
    } else {
        FQueue.push_back({"cmake --build build -j2", kTermText, true, true});
        const int n = int(std::size(kSources));
        for (int i = 0; i < n; ++i) {
            const char* src = kSources[rng.Below(uint32_t(n))];
            line(Format("[%3d%%] Building CXX object ", (i + 1) * 100 / (n + 1)) + src + ".o",
                 kTermGreen);
            if (rng.Chance(0.12))
                line(std::string(src) +
                         Format(":%d:%d: warning: unused variable 'n' [-Wunused-variable]",
                                rng.Range(20, 800), rng.Range(2, 30)),
                     kTermYellow);
            if (i % 6 == 5) line("Linking CXX static library libkiv_part.a", kTermText);
        }
        line("[100%] Built target kivplayer", kTermGreen);
    }
    FQueue.push_back({"$ ", kTermBlue, false, false});
}

void TTerminal::Advance(uint32_t now, TPicture& s, TDamage& d, TRng& rng) {
    if (FNext + 1000 < now) FNext = now;
    for (int items = 0; items < 8 && !FQueue.empty() && now >= FNext; ++items) {
        TPending& p = FQueue.front();
        if (p.Typed) {
            if (FQueuedChars < p.Text.size()) {
                Put(s, d, p.Text[FQueuedChars++], p.Color);
                FNext += uint32_t(rng.Range(45, 140));
                continue;
            }
            if (p.EndLine) EndLine(s, d);
            FNext += uint32_t(rng.Range(200, 500));
        } else {
            for (char ch : p.Text)
                Put(s, d, ch, p.Color);
            if (p.EndLine) EndLine(s, d);
            FNext +=
                rng.Chance(0.15) ? uint32_t(rng.Range(600, 1800)) : uint32_t(rng.Range(40, 320));
        }
        FQueue.pop_front();
        FQueuedChars = 0;
    }
}

// ---- photo viewer ---------------------------------------------------------

void TPhotoViewer::Place(const TRect& area, int32_t scale, uint32_t seed) {
    FArea = area;
    FScale = scale;
    FSeed = seed;
    const int32_t bar = (kCellHeight + 8) * scale;
    FBar = {area.Left, std::max(area.Top, area.Bottom - bar), area.Right, area.Bottom};
    FImage = {area.Left, area.Top, area.Right, FBar.Top};
    const int32_t bw = TextWidth("< Prev", scale) + 10 * scale;
    FPrev = RectXYWH(FBar.Left + 4 * scale, FBar.Top + 2 * scale, bw, bar - 4 * scale);
    FNextBtn = FPrev.Offset(bw + 4 * scale, 0);
    GeneratePhoto(FShown, FImage.Width(), FImage.Height(), seed);
}

void TPhotoViewer::PaintCaption(TPicture& s) const {
    FillRect(s, FBar, Rgb(45, 45, 48));
    for (const TRect* b : {&FPrev, &FNextBtn}) {
        FillRect(s, *b, Rgb(70, 70, 75));
        BevelRect(s, *b, true);
    }
    DrawText(s, FPrev.Left + 5 * FScale, FPrev.Top + (FPrev.Height() - kCellHeight * FScale) / 2,
             "< Prev", Rgb(230, 230, 230), FScale, FBar);
    DrawText(s, FNextBtn.Left + 5 * FScale,
             FNextBtn.Top + (FNextBtn.Height() - kCellHeight * FScale) / 2, "Next >",
             Rgb(230, 230, 230), FScale, FBar);
    std::string caption = Format("IMG_%04d.JPG   %d / 36", 4100 + FIndex * 7, FIndex + 1);
    DrawText(s, FNextBtn.Right + 12 * FScale, FBar.Top + 4 * FScale, caption, Rgb(200, 200, 200),
             FScale, FBar);
}

void TPhotoViewer::PaintAll(TPicture& s) const {
    Blit(s, FImage.Left, FImage.Top, FShown, FShown.Bounds(), FImage);
    PaintCaption(s);
}

void TPhotoViewer::Step(uint32_t now, int32_t delta, bool fade) {
    if (FFading) std::swap(FShown, FTarget); // finish the running fade at once
    FIndex = ((FIndex + delta) % 36 + 36) % 36;
    GeneratePhoto(FTarget, FImage.Width(), FImage.Height(), FSeed + uint32_t(FIndex) * 7919u);
    FChanged = now;
    FFading = fade;
    FPendingPaint = !fade;
    FFadeStart = now;
    FFadeStep = -1;
}

void TPhotoViewer::Advance(uint32_t now, TPicture& s, TDamage& d) {
    if (FPendingPaint) {
        FPendingPaint = false;
        std::swap(FShown, FTarget);
        PaintAll(s);
        d.push_back(FArea);
        return;
    }
    if (!FFading) return;
    const int32_t step = int32_t(std::min<uint32_t>(4, (now - FFadeStart) / 120));
    if (step == FFadeStep) return;
    FFadeStep = step;
    const int t = step * 64;
    for (int32_t y = 0; y < FShown.Height(); ++y) {
        const uint8_t* a = FShown.Row(y);
        const uint8_t* b = FTarget.Row(y);
        uint8_t* out = s.At(FImage.Left, FImage.Top + y);
        for (size_t k = 0; k < FShown.Stride(); ++k)
            out[k] = uint8_t((a[k] * (256 - t) + b[k] * t) >> 8);
    }
    d.push_back(FImage);
    if (step == 4) {
        FFading = false;
        std::swap(FShown, FTarget);
        PaintCaption(s);
        d.push_back(FBar);
    }
}

} // namespace kiv::synth
