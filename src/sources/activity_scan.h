// TActivityScan: builds a local recording's activity table from its record
// headers, on a thread of its own with a stream of its own, while playing
// reads the same file; no payload is read but markers' text.
#pragma once

#include "buffers/activity.h"
#include "platform/thread.h"
#include "platform/window_target.h"

#include <atomic>
#include <string>

namespace kiv {

class TActivityScan : private TThread {
public:
    // Takes the table over for the scan and starts at once; WM_ACTIVITYSCANNED
    // goes to window when it has ended.
    TActivityScan(std::string path, TActivity& activity, TWindowTarget* window);
    // Gives up the scan under way and waits for the thread.
    ~TActivityScan() override;
    // The scan has ended (read through, or stopped short).
    bool Done() const { return Finished(); }

protected:
    void Execute() override;

private:
    const std::string FPath;
    TActivity& FActivity;
    TWindowTarget* FWindow;
    std::atomic<bool> FAbort{false}; // set by the owner
};

} // namespace kiv
