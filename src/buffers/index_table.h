// The key frames' time stamps and positions in the recording, ascending by time.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <deque>
#include <mutex>

namespace kiv {

class TIndexTable {
public:
    // Ignores an entry with the time stamp of the last one; keeps at most 131,073.
    void AddEntry(const TIndexEntry& entry);
    // Time stamp of the last entry at or before time; 0 when none.
    uint32_t FloorTime(uint32_t time);
    // Offset of the entry with exactly this time stamp; 0 when none.
    uint32_t PositionOf(uint32_t time);
    void Clear();
    int32_t Count() const;

private:
    mutable std::mutex FLock;
    std::deque<TIndexEntry> FEntries; // guarded by FLock
};

} // namespace kiv
