#include "platform/debug_log.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace kiv {
namespace {

// Silent by default; KIVPLAYER_LOG=stderr or KIVPLAYER_LOG=<file> turns the log on.
TDebugSink DefaultSink() {
    const char* where = std::getenv("KIVPLAYER_LOG");
    if (!where || !*where) return {};
    if (std::string_view(where) == "stderr") {
        return [](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        };
    }
    std::shared_ptr<FILE> file(std::fopen(where, "a"), [](FILE* f) {
        if (f) std::fclose(f);
    });
    if (!file) return {};
    return [file](std::string_view line) {
        std::fprintf(file.get(), "%.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(file.get());
    };
}

struct TSinkHolder {
    std::mutex lock;
    TDebugSink sink = DefaultSink(); // guarded by lock
};

TSinkHolder& Holder() {
    static TSinkHolder holder;
    return holder;
}

} // namespace

void DebugOutput(std::string_view line) {
    auto& h = Holder();
    std::lock_guard guard(h.lock);
    if (h.sink) h.sink(line);
}

void DebugLog(std::string_view text) {
    std::string line = "KivPlayer.ocx ->";
    line.append(text);
    DebugOutput(line);
}

TDebugSink SetDebugSink(TDebugSink sink) {
    auto& h = Holder();
    std::lock_guard guard(h.lock);
    std::swap(h.sink, sink);
    return sink;
}

} // namespace kiv
