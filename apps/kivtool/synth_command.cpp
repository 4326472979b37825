#include "commands.h"

#include "synth/synth.h"

namespace kivtool {

int CmdSynth(int argc, char** argv) { return kiv::synth::SynthCommand(argc, argv); }

} // namespace kivtool
