// kivtool: the headless front end of the player engine.
#include "commands.h"

#include "platform/heap_tuning.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

struct TCommand {
    const char* Name;
    const char* Usage;
    int (*Run)(const kivtool::TArgs&);
};

constexpr TCommand kCommands[] = {
    {"info", "info ADDRESS", kivtool::CmdInfo},
    {"dump", "dump ADDRESS", kivtool::CmdDump},
    {"verify", "verify ADDRESS", kivtool::CmdVerify},
    {"snapshot", "snapshot [--play] ADDRESS MS OUT", kivtool::CmdSnapshot},
    {"play", "play ADDRESS [--seconds N] [--snapshot OUT] [--rate R] [--skip-idle]",
     kivtool::CmdPlay},
    {"activity", "activity ADDRESS", kivtool::CmdActivity},
    {"markers", "markers ADDRESS", kivtool::CmdMarkers},
    {"typelib", "typelib", kivtool::CmdTypelib},
    {"export",
     "export ADDRESS OUT [--from T] [--to T] [--rate R] [--skip-idle] [--size WxH | --scale F]\n"
     "         [--fps N] [--cfr] [--codec C] [--crf N] [--preset P] [--bitrate B] [--no-pointer]\n"
     "         [--force]",
     kivtool::CmdExport},
};

int Usage() {
    std::fprintf(stderr, "usage: kivtool COMMAND ...\n");
    for (const auto& c : kCommands)
        std::fprintf(stderr, "  kivtool %s\n", c.Usage);
    std::fprintf(stderr,
                 "  kivtool synth OUT [--seconds N] [--width W] [--height H] [--nails N]\n");
    return kivtool::kUsageExit;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    kiv::TunePlayerHeap();
    try {
        if (std::strcmp(argv[1], "synth") == 0) return kivtool::CmdSynth(argc - 1, argv + 1);
        for (const auto& c : kCommands) {
            if (std::strcmp(argv[1], c.Name) != 0) continue;
            return c.Run(kivtool::TArgs(argv + 2, argv + argc));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivtool: %s\n", e.what());
        return 1;
    }
    return Usage();
}
