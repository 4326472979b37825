// The activity table of the opened recording: fed by the reading threads as
// records arrive, or by one scan of a local file's headers; read by any thread.
#pragma once

#include "format/activity.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kiv {

class TActivity {
public:
    // Seconds with records beyond this many are not counted (about 12 days of
    // a recording busy every second; a few tens of MB at most).
    static constexpr size_t kMaxSeconds = 1'000'000;
    static constexpr size_t kMaxMarkers = 100'000;
    // Going back to a marker within this long after one goes one further back.
    static constexpr uint32_t kMarkerAgainMs = 1000;

    // A new source: everything forgotten.
    void Clear();
    // A scan of the whole recording will come: records noted from reading are
    // ignored from now on, the scan's are taken.
    void BeginScan();
    // A record seen by the reading thread (header and payload, as buffered).
    // Records at or before the newest already noted are taken once only.
    void Note(const uint8_t* record) { NoteRecord(record, false); }
    // The same from the scan of a local file; payload holds what was read of
    // it (markers only; empty for the rest).
    void NoteScanned(const TSampleHeader& h, const std::string& markerText);
    void EndScan();

    // The seconds that hold records, in order.
    std::vector<TActivitySecond> Seconds() const;
    std::vector<TMarker> Markers() const;
    // Stretches with no change for longer than thresholdMs, in order.
    std::vector<TIdleStretch> IdleStretches(uint32_t thresholdMs) const;
    // The stretch longer than thresholdMs that holds time (From <= time < To).
    bool IdleStretchAt(uint32_t time, uint32_t thresholdMs, TIdleStretch& stretch) const;
    // The marker after time, or the one before it (the one before that when
    // time lies within withinMs after a marker); false when there is none.
    bool NextMarker(uint32_t time, uint32_t& marker) const;
    bool PreviousMarker(uint32_t time, uint32_t withinMs, uint32_t& marker) const;
    bool Scanned() const;

private:
    struct TSecond {
        TActivitySecond Figures;
        uint32_t FirstChange = UINT32_MAX; // ms; UINT32_MAX: nothing changed in it
        uint32_t LastChange = 0;
    };
    void NoteRecord(const uint8_t* record, bool scanned);
    void NoteLocked(const TSampleHeader& h, const std::string& markerText);

    mutable std::mutex FLock;
    std::vector<TSecond> FSeconds;     // FLock; index: second of the recording
    std::vector<TMarker> FMarkers;     // FLock; by time
    bool FScanning = false;            // FLock: only the scan feeds the table
    bool FScanned = false;             // FLock: the scan ended
    bool FAny = false;                 // FLock: FNewest is set
    uint32_t FNewest = 0;              // FLock: the newest time noted from reading
    uint32_t FAtNewest = 0;            // FLock: records noted at FNewest
    uint32_t FReread = 0;              // FLock: of those, seen again since reading went back
    uint16_t FMouseX = 0, FMouseY = 0; // FLock: the pointer where the last sample left it
};

} // namespace kiv
