// kivtool export over HTTP (nginx on 127.0.0.1) writes what it writes from the file,
// markers in the range included.
#include "support/kivtool_run.h"
#include "support/nginx.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kiv;
using namespace kiv::test;

namespace {

std::vector<std::pair<std::string, std::string>> Pictures(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        all.emplace_back(e.path().filename().string(), bytes.str());
    }
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace

TEST(ExportHttp, WritesWhatTheFileGives) {
    if (TNginx::Binary().empty()) GTEST_SKIP() << TNginx::kMissing;
    TNginx server;
    ASSERT_TRUE(server.Running()) << server.Error();
    synth::TSynthOptions o;
    o.Seconds = 4;
    o.Width = 320;
    o.Height = 240;
    o.MarkerIntervalMs = 1500;
    const std::string file = server.Root().File("a.kiv");
    synth::WriteSynthRecording(file, o);
    TTempDir out;
    const std::string range = " --from marker:1 --to 3500";
    const TRun local =
        RunKivtool(out.File("err1.txt"), "export " + file + " " + out.File("f/") + range);
    ASSERT_EQ(local.Exit, 0) << local.Err;
    const TRun http = RunKivtool(out.File("err2.txt"),
                                 "export " + server.Url("a.kiv") + " " + out.File("h/") + range);
    ASSERT_EQ(http.Exit, 0) << http.Err;
    const auto a = Pictures(out.File("f")), b = Pictures(out.File("h"));
    ASSERT_GT(a.size(), 5u);
    EXPECT_TRUE(a == b) << a.size() << " pictures from the file, " << b.size() << " over HTTP";
}
