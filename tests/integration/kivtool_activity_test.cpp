// The activity table and markers of a recording are the same whether its
// headers are read from the file or its records arrive over HTTP.
#include "support/kivtool_run.h"
#include "support/nginx.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <string>

using namespace kiv;
using namespace kiv::test;

TEST(KivtoolActivity, TheTableFromHttpIsTheFilesTable) {
    if (TNginx::Binary().empty()) GTEST_SKIP() << TNginx::kMissing;
    TNginx nginx;
    ASSERT_TRUE(nginx.Running()) << nginx.Error();
    synth::TSynthOptions o;
    o.Seconds = 30;
    o.Width = 320;
    o.Height = 240;
    o.MarkerIntervalMs = 8000;
    o.IdleMs = 3000;
    const std::string file = nginx.Root().File("rec.kiv");
    synth::WriteSynthRecording(file, o);
    TTempDir dir;
    for (const char* command : {"activity", "markers"}) {
        SCOPED_TRACE(command);
        const TRun local = RunKivtool(dir.File("err"), std::string(command) + " " + file);
        const TRun web =
            RunKivtool(dir.File("err"), std::string(command) + " " + nginx.Url("rec.kiv"));
        ASSERT_EQ(local.Exit, 0) << local.Err;
        ASSERT_EQ(web.Exit, 0) << web.Err;
        EXPECT_EQ(web.Out, local.Out);
        EXPECT_NE(local.Out.find(std::string(command) == "markers" ? ",Chapter 1" : ",idle"),
                  std::string::npos)
            << local.Out;
    }
}
