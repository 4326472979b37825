// The strip's arithmetic, free of any toolkit: how many cells a row holds,
// where a cell goes, which cell marks a position.
#pragma once

#include <cstdint>
#include <span>

namespace kiv {

constexpr int32_t kNailCellWidth = 64;
constexpr int32_t kNailGap = 10;
constexpr int32_t kNailStride = kNailCellWidth + kNailGap; // 74
constexpr int32_t kNailOrigin = 10;                        // cell 0 at (10, 10)

struct TNailPlace {
    int32_t Left = kNailOrigin, Top = kNailOrigin;
    bool operator==(const TNailPlace&) const = default;
};

// (panel width - vertical bar width) / 74, at least 1.
int32_t NailColumns(int32_t panelWidth, int32_t verticalBarWidth);
// Cell index after cell index - 1 at `previous`; cellHeight is the rectangle's
// 64 plus the time label's height, which only the toolkit knows.
TNailPlace PlaceNailAfter(int32_t index, int32_t columns, TNailPlace previous, int32_t cellHeight);
// The same place computed from cell 0 at (10, 10).
TNailPlace NailPlace(int32_t index, int32_t columns, int32_t cellHeight);
// The last cell whose time is not after seconds; -1 when every cell is later.
int32_t ChooseNailByTime(std::span<const int32_t> cellSeconds, int32_t seconds);
// The vertical bar's position that brings a cell's row to the top of the view,
// given the cell's top as seen in the scrolled view.
inline int32_t NailScrollPosition(int32_t barPosition, int32_t cellTopInView) {
    return cellTopInView == kNailOrigin ? barPosition : barPosition + cellTopInView - kNailOrigin;
}

} // namespace kiv
