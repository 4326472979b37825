// What the control core asks of its view. The Qt widget paints and lays out;
// headless hosts take these defaults, which do nothing.
#pragma once

#include "control/control_types.h"
#include "platform/bitmap24.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv {

// A thumbnail's picture as its folder gave it: the file's bytes, or why there
// are none (Error set, Bytes empty). The bytes are untrusted.
struct TThumbnailPicture {
    std::vector<uint8_t> Bytes;
    std::string Error;
};

// The composed picture, as a view may read it: never a lock or a thread.
class IPictureSource {
public:
    virtual ~IPictureSource() = default;
    // False until the first key frame has been composed, and without a source.
    virtual bool Initialized() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // Runs read with the picture locked against the play thread, read-only, and
    // returns after unlocking; false (read not run) while not initialised. The
    // picture must not be kept past the call.
    virtual bool Read(const std::function<void(const TBitmap24&)>& read) const = 0;
    // The same, with the recorded pointer left out of the picture read.
    virtual bool ReadWithoutPointer(const std::function<void(const TBitmap24&)>& read) const = 0;
};

class IControlView {
public:
    virtual ~IControlView() = default;

    // Surfaces. The picture goes to the frame (in dmAdaptive or dmOriginal) or to
    // the full-screen surface, whichever the core named last.
    // The frame lays the picture out for the mode; the picture now goes there.
    virtual void ShowInFrame(int32_t /*width*/, int32_t /*height*/, TDisplayMode) {}
    // Creates the full-screen surface if there is none, centres the picture on it
    // and shows it; the picture now goes there.
    virtual void ShowFullScreen(int32_t /*width*/, int32_t /*height*/) {}
    // Frees the full-screen surface if there is one.
    virtual void CloseFullScreen() {}
    // The rectangle (recording pixels, clipped to the picture) to copy from source
    // to the surface the picture goes to, in the mode given.
    virtual void PictureChanged(const TRect&, TDisplayMode, const IPictureSource&) {}

    // The source and its threads are gone; views close what showed them.
    virtual void SourceReleased() {}

    virtual void SampleNotice() {}

    // The thumbnail strip: emptied and hidden (another recording opens, or its
    // thumbnails are about to arrive); one thumbnail more (path of its picture,
    // its time, the picture read off the view's thread); one step of re-flowing
    // it after a width change (the cell to place after its predecessor); a web
    // recording's thumbnails arrived in the cache folder (the cells follow).
    virtual void ThumbnailsCleared() {}
    virtual void ThumbnailAdded(const std::string& /*path*/, int32_t /*seconds*/,
                                TThumbnailPicture /*picture*/) {}
    virtual void ThumbnailLayoutStep(int32_t /*step*/) {}
    virtual void ThumbnailsDownloaded() {}

    // A failure surfaced by a window message, for a message box.
    virtual void ShowError(const std::string& /*text*/, TFailureKind) {}
    // An open failed with this code (after which retries may follow).
    virtual void OpenFailed(int /*code*/, const std::string& /*text*/) {}

    // Notices, in the order of the window queue: hosts wait on these.
    // The newest position request has been carried out; the picture shows it.
    virtual void PositionAnswered(uint32_t /*ms*/) {}
    // A file recording has been played to its end.
    virtual void PlayedToEnd() {}
    // A virtual play clock holds before the sample of this time stamp.
    virtual void ClockHeld(uint32_t /*sampleTime*/) {}
    // A stepping clock (MakeSteppingClock) stands: the picture stays as it is from
    // clock ms fromTick until untilTick, and playing waits for StepOn. Changed
    // rectangles up to here came before.
    virtual void PictureStands(uint32_t /*fromTick*/, uint32_t /*untilTick*/) {}
    // The position: while playing at most once per 100 ms of the clock, and
    // after every seek, pause, stop and the end.
    virtual void PositionChanged(uint32_t /*ms*/) {}
    // A local recording's activity table and markers are complete.
    virtual void ActivityScanned() {}
    // Playing passed the marker at ms.
    virtual void MarkerPassed(uint32_t /*ms*/, const std::string& /*text*/) {}
};

} // namespace kiv
