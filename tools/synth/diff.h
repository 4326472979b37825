// Finding what changed between two pictures: a mask of 16 × 16 tiles, and the
// few rectangles that cover the changed pixels.
#pragma once

#include "synth/picture.h"

#include <cstdint>
#include <vector>

namespace kiv::synth {

class TTileMask {
public:
    static constexpr int32_t kTile = 16;

    void Reset(int32_t width, int32_t height);
    void Clear();
    // Marks every tile that r touches (clipped to the picture).
    void Mark(const TRect& r);
    void MarkAll() { Mark({0, 0, FWidth, FHeight}); }
    bool Any() const { return FAny; }
    bool Get(int32_t tx, int32_t ty) const {
        return FTiles[size_t(ty) * size_t(FCols) + size_t(tx)];
    }
    void Set(int32_t tx, int32_t ty) {
        FTiles[size_t(ty) * size_t(FCols) + size_t(tx)] = 1;
        FAny = true;
    }
    int32_t Cols() const { return FCols; }
    int32_t Rows() const { return FRows; }
    // The marked tiles as rectangles in pixels, clipped to the picture: runs in
    // each tile row, runs of equal span in consecutive rows joined.
    std::vector<TRect> Rects() const;

private:
    int32_t FWidth = 0, FHeight = 0, FCols = 0, FRows = 0;
    std::vector<uint8_t> FTiles;
    bool FAny = false;
};

// Marks in `dirty` the tiles of `candidates` whose pixels differ between a and b.
void DiffTiles(const TPicture& a, const TPicture& b, const TTileMask& candidates, TTileMask& dirty);

// At most maxRects rectangles covering every differing pixel of the dirty
// tiles, each shrunk to the differing pixels inside it. Nearby rectangles are
// joined when little unchanged area comes with them, overlapping ones always.
std::vector<TRect> ChangedRegions(const TPicture& a, const TPicture& b, const TTileMask& dirty,
                                  size_t maxRects);

// The bounding box of the pixels that differ inside r; empty when none do.
TRect TightBounds(const TPicture& a, const TPicture& b, const TRect& r);

} // namespace kiv::synth
