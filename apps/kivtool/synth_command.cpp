#include "commands.h"

#include "synth/synth.h"

#include <vector>

namespace kivtool {

int CmdSynth(int argc, char** argv) {
    // Usage lines then name the command as it was typed.
    std::vector<char*> args(argv, argv + argc);
    char name[] = "kivtool synth";
    args[0] = name;
    return kiv::synth::SynthCommand(argc, args.data(), kiv::synth::kDefaultSynthNails);
}

} // namespace kivtool
