#include "control/picture_check.h"

#include "playback/back_buffer.h"

namespace kiv {

std::string TPictureCheck::Problem(const TSampleHeader& sample, const uint8_t* image,
                                   uint32_t capacity) {
    if (sample.Kind == skPointer && sample.Length != 0) {
        if (const char* why = TBackBuffer::ShapeProblem(image, capacity))
            return std::string("pointer image: ") + why;
    } else if (sample.Kind == skKeyFrame && !FSetUp) {
        if (const char* why = TBackBuffer::SetUpProblem(image, capacity, FRecording))
            return std::string("key frame cannot set the picture up: ") + why;
        FSetUp = true;
    }
    return {};
}

} // namespace kiv
