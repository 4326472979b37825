// What playing makes of decoded pictures, for hosts that check a recording
// without playing it (kivtool verify): the back buffer's own checks, fed the
// samples in recording order.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <string>

namespace kiv {

class TPictureCheck {
public:
    explicit TPictureCheck(const TKivFileHeader& recording) : FRecording(recording) {}

    // Why playing refuses the decoded image of this sample (a BMP file image in a
    // buffer of `capacity` bytes), or empty when it takes it.
    std::string Problem(const TSampleHeader& sample, const uint8_t* image, uint32_t capacity);

private:
    TKivFileHeader FRecording;
    bool FSetUp = false; // a key frame has set the picture up
};

} // namespace kiv
