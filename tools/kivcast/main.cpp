#include "caster.h"

int main(int argc, char** argv) {
    return kiv::cast::CastCommand(argc, argv);
}
