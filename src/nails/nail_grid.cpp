#include "nails/nail_grid.h"

#include <algorithm>

namespace kiv {

int32_t NailColumns(int32_t panelWidth, int32_t verticalBarWidth) {
    const int64_t room = int64_t(panelWidth) - verticalBarWidth;
    return room < kNailStride ? 1 : static_cast<int32_t>(room / kNailStride);
}

TNailPlace PlaceNailAfter(int32_t index, int32_t columns, TNailPlace previous, int32_t cellHeight) {
    if (index <= 0) return {};
    if (index % std::max(columns, 1) != 0)
        return {previous.Left + kNailCellWidth + kNailGap, previous.Top};
    return {kNailOrigin, previous.Top + cellHeight + kNailGap};
}

TNailPlace NailPlace(int32_t index, int32_t columns, int32_t cellHeight) {
    if (index <= 0) return {};
    columns = std::max(columns, 1);
    return {kNailOrigin + (index % columns) * kNailStride,
            kNailOrigin + (index / columns) * (cellHeight + kNailGap)};
}

int32_t ChooseNailByTime(std::span<const int32_t> cellSeconds, int32_t seconds) {
    for (size_t i = cellSeconds.size(); i-- > 0;)
        if (cellSeconds[i] <= seconds) return static_cast<int32_t>(i);
    return -1;
}

} // namespace kiv
