#include "synth/diff.h"

#include <cstring>

namespace kiv::synth {

void TTileMask::Reset(int32_t width, int32_t height) {
    FWidth = width;
    FHeight = height;
    FCols = (width + kTile - 1) / kTile;
    FRows = (height + kTile - 1) / kTile;
    FTiles.assign(size_t(FCols) * size_t(FRows), 0);
    FAny = false;
}

void TTileMask::Clear() {
    if (FAny) std::fill(FTiles.begin(), FTiles.end(), 0);
    FAny = false;
}

void TTileMask::Mark(const TRect& r) {
    TRect a = r.Intersect({0, 0, FWidth, FHeight});
    if (a.IsEmpty()) return;
    const int32_t tx0 = a.Left / kTile, tx1 = (a.Right - 1) / kTile;
    const int32_t ty0 = a.Top / kTile, ty1 = (a.Bottom - 1) / kTile;
    for (int32_t ty = ty0; ty <= ty1; ++ty)
        std::memset(&FTiles[size_t(ty) * size_t(FCols) + size_t(tx0)], 1, size_t(tx1 - tx0 + 1));
    FAny = true;
}

std::vector<TRect> TTileMask::Rects() const {
    std::vector<TRect> done, open, next;
    if (!FAny) return done;
    const TRect bounds{0, 0, FWidth, FHeight};
    for (int32_t ty = 0; ty <= FRows; ++ty) {
        next.clear();
        for (int32_t tx = 0; ty < FRows && tx < FCols;) {
            if (!Get(tx, ty)) {
                ++tx;
                continue;
            }
            int32_t end = tx;
            while (end < FCols && Get(end, ty))
                ++end;
            TRect run{tx * kTile, ty * kTile, end * kTile, (ty + 1) * kTile};
            // Extend a rectangle of the same span from the row above.
            for (TRect& o : open)
                if (o.Left == run.Left && o.Right == run.Right && o.Bottom == run.Top) {
                    run.Top = o.Top;
                    o = TRect{};
                    break;
                }
            next.push_back(run);
            tx = end;
        }
        for (const TRect& o : open)
            if (!o.IsEmpty()) done.push_back(o.Intersect(bounds));
        open.swap(next);
    }
    return done;
}

void DiffTiles(const TPicture& a, const TPicture& b, const TTileMask& candidates,
               TTileMask& dirty) {
    const int32_t t = TTileMask::kTile;
    for (const TRect& r : candidates.Rects()) {
        for (int32_t ty = r.Top / t; ty * t < r.Bottom; ++ty) {
            const int32_t y0 = ty * t, y1 = std::min(y0 + t, a.Height());
            for (int32_t tx = r.Left / t; tx * t < r.Right; ++tx) {
                const int32_t x0 = tx * t, x1 = std::min(x0 + t, a.Width());
                const size_t bytes = size_t(x1 - x0) * 3;
                for (int32_t y = y0; y < y1; ++y)
                    if (std::memcmp(a.At(x0, y), b.At(x0, y), bytes) != 0) {
                        dirty.Set(tx, ty);
                        break;
                    }
            }
        }
    }
}

TRect TightBounds(const TPicture& a, const TPicture& b, const TRect& r) {
    TRect out;
    const size_t bytes = size_t(r.Width()) * 3;
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        const uint8_t* pa = a.At(r.Left, y);
        const uint8_t* pb = b.At(r.Left, y);
        if (std::memcmp(pa, pb, bytes) == 0) continue;
        size_t first = 0, last = bytes;
        while (pa[first] == pb[first])
            ++first;
        while (pa[last - 1] == pb[last - 1])
            --last;
        TRect row{r.Left + int32_t(first / 3), y, r.Left + int32_t((last + 2) / 3), y + 1};
        out = out.Union(row);
    }
    return out;
}

std::vector<TRect> ChangedRegions(const TPicture& a, const TPicture& b, const TTileMask& dirty,
                                  size_t maxRects) {
    std::vector<TRect> rects = dirty.Rects();
    const int64_t slack = int64_t(TTileMask::kTile) * TTileMask::kTile * 4;
    // Scattered changes: join neighbours in list order first, so that the
    // pairwise search below stays small.
    while (rects.size() > 48) {
        std::vector<TRect> halved;
        for (size_t i = 0; i < rects.size(); i += 2)
            halved.push_back(i + 1 < rects.size() ? rects[i].Union(rects[i + 1]) : rects[i]);
        rects.swap(halved);
    }
    // Greedy joining: the pair that wastes least first; forced while too many.
    for (;;) {
        size_t bi = 0, bj = 0;
        int64_t bestWaste = INT64_MAX;
        for (size_t i = 0; i < rects.size(); ++i)
            for (size_t j = i + 1; j < rects.size(); ++j) {
                const TRect u = rects[i].Union(rects[j]);
                int64_t waste = u.Area() - rects[i].Area() - rects[j].Area();
                if (!rects[i].Intersect(rects[j]).IsEmpty()) waste = INT64_MIN / 2;
                if (waste < bestWaste) {
                    bestWaste = waste;
                    bi = i;
                    bj = j;
                }
            }
        if (bestWaste == INT64_MAX) break;
        const int64_t budget = (rects[bi].Area() + rects[bj].Area()) / 4 + slack;
        if (bestWaste > budget && rects.size() <= maxRects) break;
        rects[bi] = rects[bi].Union(rects[bj]);
        rects.erase(rects.begin() + std::ptrdiff_t(bj));
    }
    std::vector<TRect> out;
    for (const TRect& r : rects) {
        TRect t = TightBounds(a, b, r);
        if (!t.IsEmpty()) out.push_back(t);
    }
    return out;
}

} // namespace kiv::synth
