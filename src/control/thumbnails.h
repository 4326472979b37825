// Where an opened recording's thumbnails come from: beside a local file, or
// downloaded from its web server. An implementation owns its threads; the core
// drives it, and it tells the core's view what to show (ThumbnailAdded, ...).
#pragma once

#include "control/control_view.h"
#include "platform/window_target.h"

#include <cstdint>
#include <string>

namespace kiv {

class IThumbnails {
public:
    virtual ~IThumbnails() = default;
    // Once, before anything else: where its threads post, and whom it tells.
    virtual void Attach(TWindowTarget& window, IControlView& view) = 0;
    // The recording at url opened.
    virtual void Load(const std::string& url, const std::string& cacheFolder) = 0;
    // Another recording opens: what is on its way is dropped, the strip cleared.
    virtual void Stop() = 0;
    // The strip's width changed with count cells in it.
    virtual void Relayout(int32_t count) = 0;
    // A message its threads posted to the window; false when it is not theirs.
    virtual bool HandleMessage(const TMessage& m) = 0;
};

} // namespace kiv
