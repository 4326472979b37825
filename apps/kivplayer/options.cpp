#include "options.h"

#include "platform/parse.h"

namespace kivplayer {

const char kUsage[] = "usage: kivplayer [OPTIONS] [ADDRESS]\n"
                      "  --mode adaptive|original|full  display mode before opening\n"
                      "  --no-autostart                 open without playing\n"
                      "  --page-url URL                 address bare file names resolve against\n"
                      "  --size WxH                     size of the control (default 495x410)\n"
                      "  --script FILE                  run FILE in the script host\n"
                      "  --help, --version\n";

namespace {

bool ParseSize(const std::string& text, int32_t* w, int32_t* h) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    uint64_t a = 0, b = 0;
    const std::string_view t(text);
    if (!kiv::ParseDecimal(t.substr(0, x), 16384, a) ||
        !kiv::ParseDecimal(t.substr(x + 1), 16384, b))
        return false;
    if (a < 1 || b < 1) return false;
    *w = static_cast<int32_t>(a);
    *h = static_cast<int32_t>(b);
    return true;
}

} // namespace

std::optional<TOptions> ParseOptions(const std::vector<std::string>& args, std::string* error) {
    TOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                *error = a + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--help") {
            o.Help = true;
        } else if (a == "--version") {
            o.Version = true;
        } else if (a == "--no-autostart") {
            o.AutoStart = false;
        } else if (a == "--mode") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            if (*v == "adaptive")
                o.Mode = kiv::dmAdaptive;
            else if (*v == "original")
                o.Mode = kiv::dmOriginal;
            else if (*v == "full")
                o.Mode = kiv::dmFull;
            else {
                *error = "unknown mode: " + *v;
                return std::nullopt;
            }
        } else if (a == "--page-url") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            o.PageUrl = *v;
        } else if (a == "--size") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            if (!ParseSize(*v, &o.Width, &o.Height)) {
                *error = "bad size: " + *v;
                return std::nullopt;
            }
            o.SizeGiven = true;
        } else if (a == "--script") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            o.Script = *v;
        } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
            *error = "unknown option: " + a;
            return std::nullopt;
        } else if (o.Address.empty()) {
            o.Address = a;
        } else {
            *error = "more than one address";
            return std::nullopt;
        }
    }
    return o;
}

} // namespace kivplayer
