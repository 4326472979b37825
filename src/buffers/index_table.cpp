#include "buffers/index_table.h"

namespace kiv {

void TIndexTable::AddEntry(const TIndexEntry& entry) {
    std::lock_guard guard(FLock);
    if (!FEntries.empty() && FEntries.back().TimeStamp == entry.TimeStamp) return;
    while (FEntries.size() > kMaxIndexEntries - 1)
        FEntries.pop_front();
    FEntries.push_back(entry);
}

uint32_t TIndexTable::FloorTime(uint32_t time) {
    std::lock_guard guard(FLock);
    for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
        if (it->TimeStamp <= time) return it->TimeStamp;
    return 0;
}

uint32_t TIndexTable::PositionOf(uint32_t time) {
    std::lock_guard guard(FLock);
    int64_t low = 0, high = static_cast<int64_t>(FEntries.size()) - 1;
    while (low <= high) {
        int64_t mid = (low + high) / 2;
        uint32_t t = FEntries[mid].TimeStamp;
        if (t == time) return FEntries[mid].Offset;
        if (t < time)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return 0;
}

void TIndexTable::Clear() {
    std::lock_guard guard(FLock);
    FEntries.clear();
}

int32_t TIndexTable::Count() const {
    std::lock_guard guard(FLock);
    return static_cast<int32_t>(FEntries.size());
}

} // namespace kiv
