// The record of one control's opened recording, shared by its threads.
#pragma once

#include "buffers/activity.h"
#include "buffers/frames_buffer.h"
#include "buffers/index_table.h"
#include "buffers/key_frames_buffer.h"
#include "format/kiv_format.h"
#include "platform/window_target.h"

namespace kiv {

class TFillThread;

struct TPlayContext {
    // Written by the reading thread while it opens (before it posts the open
    // result), read by everyone after; live sources fill in only Width and Height.
    TKivFileHeader Header{};
    TFramesBuffer Frames;
    TKeyFramesBuffer KeyFrames;
    TIndexTable IndexTable;
    // What the recording does when, from the records read or scanned.
    TActivity Activity;
    // Set and cleared by the control's thread while no reading thread runs.
    TFillThread* FillThread = nullptr;
    // Where WM_DRAWTO goes: the play thread's queue (or a test's stand-in).
    TWindowTarget* PlayThread = nullptr;
    // The control's window, to which every thread posts its notices.
    TWindowTarget* Window = nullptr;
};

} // namespace kiv
