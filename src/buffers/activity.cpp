#include "buffers/activity.h"

#include "codec/compression.h"

#include <algorithm>
#include <cstring>

namespace kiv {

void TActivity::Clear() {
    std::lock_guard guard(FLock);
    FSeconds.clear();
    FMarkers.clear();
    FScanning = FScanned = FAny = false;
    FNewest = FAtNewest = FReread = 0;
    FMouseX = FMouseY = 0;
}

void TActivity::BeginScan() {
    std::lock_guard guard(FLock);
    FSeconds.clear();
    FMarkers.clear();
    FScanning = true;
    FScanned = false;
    FMouseX = FMouseY = 0;
}

void TActivity::EndScan() {
    std::lock_guard guard(FLock);
    FScanned = true;
}

bool TActivity::Scanned() const {
    std::lock_guard guard(FLock);
    return FScanned;
}

void TActivity::NoteRecord(const uint8_t* record, bool scanned) {
    const TSampleHeader h = ParseSampleHeader(record);
    std::string text;
    if (h.Kind == skMarker && h.Compression == ckRaw)
        text.assign(reinterpret_cast<const char*>(record + kSampleHeaderSize),
                    std::min<uint32_t>(h.Length, kMaxMarkerText));
    std::lock_guard guard(FLock);
    if (FScanning != scanned) return;
    if (!scanned) {
        // A seek reads again what was read before: what lies before the newest
        // time noted is known, and so are as many at that time as were noted.
        if (FAny && h.TimeStamp < FNewest) {
            FReread = 0;
            return;
        }
        if (FAny && h.TimeStamp == FNewest) {
            if (FReread < FAtNewest) {
                ++FReread;
                return;
            }
            ++FAtNewest;
        } else {
            FNewest = h.TimeStamp;
            FAtNewest = 1;
            FReread = 0;
        }
        FAny = true;
    }
    NoteLocked(h, text);
}

void TActivity::NoteScanned(const TSampleHeader& h, const std::string& markerText) {
    std::lock_guard guard(FLock);
    if (FScanning) NoteLocked(h, markerText.substr(0, kMaxMarkerText));
}

void TActivity::NoteLocked(const TSampleHeader& h, const std::string& markerText) {
    if (h.Kind == skMarker) {
        if (FMarkers.size() >= kMaxMarkers) return;
        // Records come in time order; a live source's out-of-order one is placed.
        auto at = std::upper_bound(FMarkers.begin(), FMarkers.end(), h.TimeStamp,
                                   [](uint32_t t, const TMarker& m) { return t < m.Time; });
        FMarkers.insert(at, TMarker{h.TimeStamp, markerText});
        return;
    }
    const uint32_t second = h.TimeStamp / 1000;
    auto it =
        std::lower_bound(FSeconds.begin(), FSeconds.end(), second,
                         [](const TSecond& x, uint32_t sec) { return x.Figures.Second < sec; });
    if (it == FSeconds.end() || it->Figures.Second != second) {
        if (FSeconds.size() >= kMaxSeconds) return;
        it = FSeconds.insert(it, TSecond{});
        it->Figures.Second = second;
    }
    TSecond& s = *it;
    const bool picture = ChangesPicture(h);
    const bool pointer = MovesPointer(h, FMouseX, FMouseY);
    if (picture) s.Figures.PictureBytes += h.Length;
    if (pointer) ++s.Figures.PointerSamples;
    if (picture || pointer) {
        s.FirstChange = std::min(s.FirstChange, h.TimeStamp);
        s.LastChange = std::max(s.LastChange, h.TimeStamp);
    }
}

std::vector<TActivitySecond> TActivity::Seconds() const {
    std::lock_guard guard(FLock);
    std::vector<TActivitySecond> out;
    out.reserve(FSeconds.size());
    for (const TSecond& s : FSeconds)
        out.push_back(s.Figures);
    return out;
}

std::vector<TMarker> TActivity::Markers() const {
    std::lock_guard guard(FLock);
    return FMarkers;
}

std::vector<TIdleStretch> TActivity::IdleStretches(uint32_t thresholdMs) const {
    std::lock_guard guard(FLock);
    std::vector<TIdleStretch> out;
    bool any = false;
    uint32_t last = 0;
    for (const TSecond& s : FSeconds) {
        if (s.FirstChange == UINT32_MAX) continue;
        // Within a second changes lie less than a second apart.
        if (any && s.FirstChange - last > thresholdMs) out.push_back({last, s.FirstChange});
        any = true;
        last = s.LastChange;
    }
    return out;
}

bool TActivity::IdleStretchAt(uint32_t time, uint32_t thresholdMs, TIdleStretch& stretch) const {
    // Asked for every sample while skipping: a search, not the whole list.
    std::lock_guard guard(FLock);
    const auto changed = [](const TSecond& x) { return x.FirstChange != UINT32_MAX; };
    auto after =
        std::upper_bound(FSeconds.begin(), FSeconds.end(), time / 1000,
                         [](uint32_t sec, const TSecond& x) { return sec < x.Figures.Second; });
    auto before = std::make_reverse_iterator(after);
    before = std::find_if(before, FSeconds.rend(), changed);
    after = std::find_if(after, FSeconds.end(), changed);
    if (before == FSeconds.rend() || after == FSeconds.end()) return false;
    if (before->LastChange > time || after->FirstChange - before->LastChange <= thresholdMs)
        return false;
    stretch = {before->LastChange, after->FirstChange};
    return true;
}

bool TActivity::NextMarker(uint32_t time, uint32_t& marker) const {
    std::lock_guard guard(FLock);
    auto it = std::upper_bound(FMarkers.begin(), FMarkers.end(), time,
                               [](uint32_t t, const TMarker& m) { return t < m.Time; });
    if (it == FMarkers.end()) return false;
    marker = it->Time;
    return true;
}

bool TActivity::PreviousMarker(uint32_t time, uint32_t withinMs, uint32_t& marker) const {
    std::lock_guard guard(FLock);
    // The markers at or before time, the last first.
    auto end = std::upper_bound(FMarkers.begin(), FMarkers.end(), time,
                                [](uint32_t t, const TMarker& m) { return t < m.Time; });
    if (end == FMarkers.begin()) return false;
    auto it = std::prev(end);
    if (time - it->Time <= withinMs) {
        // Just past a marker: the one before it.
        if (it == FMarkers.begin()) return false;
        --it;
    }
    marker = it->Time;
    return true;
}

} // namespace kiv
