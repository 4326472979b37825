#include "live_server.h"

#include "platform/parse.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

namespace kiv::serve {

namespace {

volatile std::sig_atomic_t gStop = 0;

int Usage(const char* name) {
    std::fprintf(stderr,
                 "usage: %s [--port P] [--bind ADDR] [--refuse] [--no-permission] [--once]\n"
                 "          [--silent] [--drop-after MS] [--speed X] RECORDING\n",
                 name);
    return 2;
}

} // namespace

int ServeCommand(int argc, char** argv) {
    TServeOptions o;
    std::string recording;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--port") {
            const char* v = value();
            if (!v) return Usage(argv[0]);
            uint64_t port = 0;
            if (!ParseDecimal(v, 65535, port)) return Usage(argv[0]);
            o.Port = static_cast<uint16_t>(port);
        } else if (a == "--bind") {
            const char* v = value();
            if (!v) return Usage(argv[0]);
            o.Bind = v;
        } else if (a == "--refuse") {
            o.Permission = "False";
        } else if (a == "--no-permission") {
            o.Permission.clear();
        } else if (a == "--once") {
            o.Loop = false;
        } else if (a == "--silent") {
            o.Silent = true;
        } else if (a == "--drop-after") {
            const char* v = value();
            if (!v) return Usage(argv[0]);
            uint64_t ms = 0;
            if (!ParseDecimal(v, INT64_MAX, ms)) return Usage(argv[0]);
            o.DropAfterMs = static_cast<int64_t>(ms);
        } else if (a == "--speed") {
            const char* v = value();
            if (!v) return Usage(argv[0]);
            o.Speed = std::atof(v);
        } else if (!a.empty() && a[0] != '-' && recording.empty()) {
            recording = a;
        } else {
            return Usage(argv[0]);
        }
    }
    if (recording.empty()) return Usage(argv[0]);
    try {
        TLiveServer server(TLiveServer::LoadRecording(recording), o);
        std::printf("kivserve: serving %s on %s:%u\n", recording.c_str(), o.Bind.c_str(),
                    server.Port());
        std::fflush(stdout);
        std::signal(SIGINT, [](int) { gStop = 1; });
        std::signal(SIGTERM, [](int) { gStop = 1; });
        while (!gStop)
            pause();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivserve: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace kiv::serve
