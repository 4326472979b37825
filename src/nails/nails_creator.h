// TNailsCreator: reads a folder's thumbnail index at the lowest priority and
// hands each thumbnail to the control's window as a WM_NAILCREATED block,
// without waiting, so the strip gets its cells one message at a time. The
// pictures are read here too: whatever the folder holds, the control's thread
// never opens a file of it.
#pragma once

#include "control/control_view.h"
#include "nails/nail_block.h"
#include "platform/thread.h"
#include "platform/window_target.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace kiv {

// The calling thread's priority as low as the system allows.
void SetLowestThreadPriority();

class TNailsCreator : public TThread {
public:
    // folder ends with its separator; target is the control's window. The tag
    // comes back as each block's lParam, so the strip can tell an earlier
    // creator's blocks still queued at the window.
    TNailsCreator(TWindowTarget& target, std::string folder, intptr_t tag = 0);
    // Asks the thread to stop and waits for it; blocks not taken go with it.
    ~TNailsCreator() override;
    // Thumbnails handed over so far.
    uint32_t Posted() const { return FPosted.load(); }
    struct TCreated {
        TNailBlock Block; // null when not one of its own, or taken already
        TThumbnailPicture Picture;
    };
    // What a WM_NAILCREATED of this creator carries.
    TCreated Take(intptr_t wParam);

protected:
    void Execute() override;

private:
    TWindowTarget& FTarget;
    const std::string FFolder;
    const intptr_t FTag;
    std::atomic<bool> FTerminated{false};
    std::atomic<uint32_t> FPosted{0};
    std::mutex FLock;
    std::map<intptr_t, TCreated> FPending; // FLock: posted, not taken yet
};

} // namespace kiv
