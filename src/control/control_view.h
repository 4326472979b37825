// What the control core asks of its view. The Qt widget paints and lays out;
// headless hosts take these defaults, which do nothing.
#pragma once

#include "playback/play_messages.h"

#include <string>

namespace kiv {

class TPlayThread;

class IControlView {
public:
    virtual ~IControlView() = default;
    // A play thread exists (or is gone, with null): surfaces follow its picture.
    virtual void ApplyDisplayMode(TPlayThread*) {}
    virtual void HideThumbnails() {}
    // Thumbnails of the opened address: from its web server or from beside the file.
    virtual void LoadThumbnails(const std::string& /*url*/, const std::string& /*cacheFolder*/) {}
    // The rectangle of the back buffer to copy to the screen.
    virtual void PictureChanged(const TRect&) {}
    virtual void SampleNotice() {}
    // A failure surfaced by a window message, for a message box.
    virtual void ShowError(const std::string& /*text*/) {}
    // An open failed with this code (after which retries may follow).
    virtual void OpenFailed(int /*code*/, const std::string& /*text*/) {}
};

} // namespace kiv
