// kivtool-export: kivtool export, as a program of its own (see export_launch.cpp).
#include "commands.h"

#include "platform/heap_tuning.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    kiv::TunePlayerHeap();
    try {
        return kivtool::ExportMain(kivtool::TArgs(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivtool: %s\n", e.what());
        return 1;
    }
}
