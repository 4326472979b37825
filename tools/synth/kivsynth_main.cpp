#include "synth/synth.h"

int main(int argc, char** argv) {
    return kiv::synth::SynthCommand(argc, argv);
}
