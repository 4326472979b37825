#include "options.h"

#include <gtest/gtest.h>

namespace kivplayer {
namespace {

TEST(KivplayerOptions, ParsesTheContractsCommandLine) {
    struct TCase {
        std::vector<std::string> Args;
        bool Ok;
        std::function<bool(const TOptions&)> Holds;
    };
    const TCase cases[] = {
        {{},
         true,
         [](const TOptions& o) {
             return o.Mode == kiv::dmAdaptive && o.AutoStart && o.Width == 495 && o.Height == 410 &&
                    !o.SizeGiven && o.Address.empty();
         }},
        {{"--mode", "original", "a.kiv"},
         true,
         [](const TOptions& o) { return o.Mode == kiv::dmOriginal && o.Address == "a.kiv"; }},
        {{"--mode", "full"}, true, [](const TOptions& o) { return o.Mode == kiv::dmFull; }},
        {{"--mode", "huge"}, false, nullptr},
        {{"--mode"}, false, nullptr},
        {{"--no-autostart"}, true, [](const TOptions& o) { return !o.AutoStart; }},
        {{"--page-url", "http://h/p.html"},
         true,
         [](const TOptions& o) { return o.PageUrl == "http://h/p.html"; }},
        {{"--size", "640x480"},
         true,
         [](const TOptions& o) { return o.SizeGiven && o.Width == 640 && o.Height == 480; }},
        {{"--size", "0x480"}, false, nullptr},
        {{"--size", "640"}, false, nullptr},
        {{"--size", "640x-1"}, false, nullptr},
        {{"--size", "99999x10"}, false, nullptr},
        {{"--script", "s.js"}, true, [](const TOptions& o) { return o.Script == "s.js"; }},
        {{"--help"}, true, [](const TOptions& o) { return o.Help; }},
        {{"--version"}, true, [](const TOptions& o) { return o.Version; }},
        {{"--loud"}, false, nullptr},
        {{"a.kiv", "b.kiv"}, false, nullptr},
    };
    for (const TCase& c : cases) {
        std::string error;
        const auto o = ParseOptions(c.Args, &error);
        std::string what;
        for (const auto& a : c.Args)
            what += a + " ";
        ASSERT_EQ(o.has_value(), c.Ok) << what;
        if (o) {
            EXPECT_TRUE(c.Holds(*o)) << what;
        } else {
            EXPECT_FALSE(error.empty()) << what;
        }
    }
}

} // namespace
} // namespace kivplayer
