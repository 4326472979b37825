// The current picture of the recording: decoded samples are composed onto it,
// with the recorded pointer kept drawn on top.
#pragma once

#include "format/kiv_format.h"
#include "platform/bitmap24.h"
#include "platform/kiv_messages.h"
#include "playback/virtual_mouse.h"

#include <atomic>
#include <functional>

#include <memory>
#include <mutex>

namespace kiv {

class TDibImage;

// Another thread that may take half of a large copy onto the picture.
class THelperThread {
public:
    virtual ~THelperThread() = default;
    // Runs task there when that thread is idle: true, and Wait then waits for it.
    // False: the caller does the work itself.
    virtual bool Start(std::function<void()> task) = 0;
    virtual void Wait() = 0;
};

class TBackBuffer {
public:
    // recording: the header whose size no key frame may pass when it sets the
    // picture up (a side of 0 gives no limit).
    explicit TBackBuffer(const TKivFileHeader& recording = {}) : FRecording(recording) {}

    // The play thread holds it around every Compose, the control around every read
    // of the picture. Taken after the key-frame cache's lock, never before.
    std::mutex& Lock() { return FLock; }

    // Composes one sample with its decoded image (a BMP file image of at most
    // imageCapacity bytes; null for a pointer move without a shape).
    void Compose(const TSampleHeader& sample, const uint8_t* image, uint32_t imageCapacity);
    // The rectangle changed since the last call; (0,0,0,0) when nothing changed.
    TRect TakeChangedRect();
    // Large key frames are then copied by two threads, half each; set before drawing.
    void SetHelper(THelperThread* helper) { FHelper = helper; }

    // False until the first key frame; read without the lock.
    bool Initialized() const { return FInitialized.load(); }
    // The picture; valid once initialised, read under Lock().
    const TBitmap24& Picture() const { return *FPicture; }
    int32_t Width() const { return FPicture ? FPicture->Width() : 0; }
    int32_t Height() const { return FPicture ? FPicture->Height() : 0; }
    const TVirtualMouse* Mouse() const { return FMouse.get(); }
    // Runs read over the picture with the recorded pointer lifted off it, then
    // draws the pointer back as it was; the caller holds Lock().
    void ReadWithoutPointer(const std::function<void(const TBitmap24&)>& read);

    // Compose's checks of a decoded image (a BMP file image in a buffer of `capacity`
    // bytes), for hosts that check a recording without drawing it: why Compose refuses
    // the image, or null when it takes it.
    // A key frame's, setting the picture up for a recording with this header.
    static const char* SetUpProblem(const uint8_t* image, uint32_t capacity,
                                    const TKivFileHeader& recording);
    // A pointer sample's new shape.
    static const char* ShapeProblem(const uint8_t* image, uint32_t capacity);

private:
    void Initialize(const uint8_t* image, uint32_t imageCapacity);
    void ComposeRegion(const TSampleHeader& sample, const uint8_t* image, uint32_t capacity);
    // Onto the picture, the bottom half of a large key frame by the helper.
    void BlitRegion(const TSampleHeader& sample, const TDibImage& dib);
    static constexpr int64_t kSplitPixels = 512 * 512;
    void ComposePointer(const TSampleHeader& sample, const uint8_t* image, uint32_t capacity);
    void MarkChanged(TRect r);
    void MarkPointer();

    const TKivFileHeader FRecording;
    std::mutex FLock;
    std::atomic<bool> FInitialized{false};
    std::unique_ptr<TBitmap24> FPicture;   // guarded by FLock
    std::unique_ptr<TVirtualMouse> FMouse; // guarded by FLock
    TRect FChangedRect;                    // play thread
    THelperThread* FHelper = nullptr;      // play thread
};

} // namespace kiv
