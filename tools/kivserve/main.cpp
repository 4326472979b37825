#include "live_server.h"

int main(int argc, char** argv) {
    return kiv::serve::ServeCommand(argc, argv);
}
