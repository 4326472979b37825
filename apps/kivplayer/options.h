// The command line of kivplayer.
#pragma once

#include "control/control_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivplayer {

struct TOptions {
    kiv::TDisplayMode Mode = kiv::dmAdaptive;
    bool AutoStart = true;
    std::string PageUrl;
    int32_t Width = 495, Height = 410;
    bool SizeGiven = false;
    std::string Script;
    std::string Address;
    bool Help = false, Version = false;
};

// The options, or nullopt with the reason in error.
std::optional<TOptions> ParseOptions(const std::vector<std::string>& args, std::string* error);

extern const char kUsage[];

} // namespace kivplayer
