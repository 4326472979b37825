// kivtool export as a script runs it: exit codes, the progress lines when
// standard error is not a terminal, and SIGTERM leaving no file.
#include "support/kiv_script.h"
#include "support/kivtool_run.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <unistd.h>

using namespace kiv;
using namespace kiv::test;

extern char** environ;

TEST(KivtoolExport, ExitCodesAndProgressLines) {
    TScriptDir dir;
    const std::string rec = dir.File("a.kiv"), err = dir.File("err.txt");
    synth::TSynthOptions o;
    o.Seconds = 3;
    o.Width = 320;
    o.Height = 240;
    synth::WriteSynthRecording(rec, o);
    const TRun info = RunKivtool(err, "info " + dir.File("none.kiv"));
    struct TCase {
        std::string Args;
        int Exit;
        const char* Says;
    };
    const TCase cases[] = {
        {"export " + dir.File("none.kiv") + " " + dir.File("x.mp4"), info.Exit, info.Err.c_str()},
        {"export " + rec + " " + dir.File("x.avi2"), 2, "cannot tell the format"},
        {"export " + rec + " " + dir.File("x.mp4") + " --rate 40", 2, "usage:"},
        {"export " + rec + " " + dir.File("x.mp4"), 0, "export: 100%"},
        {"export " + rec + " " + dir.File("x.mp4"), 2, "exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TRun run = RunKivtool(err, c.Args);
        EXPECT_EQ(run.Exit, c.Exit);
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    }
}

TEST(KivtoolExport, SigtermStopsAndLeavesNoFile) {
    TScriptDir dir;
    const std::string rec = dir.File("a.kiv"), out = dir.File("long.mkv");
    synth::TSynthOptions o;
    o.Seconds = 120;
    o.Width = 640;
    o.Height = 480;
    synth::WriteSynthRecording(rec, o);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string program = std::string(KIV_BINARY_DIR) + "/apps/kivtool/kivtool";
    std::vector<std::string> args = {program, "export", rec, out, "--cfr", "--fps", "60"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    // The first progress line says the export is under way.
    std::string err;
    char c = 0;
    while (err.find("export: ") == std::string::npos && ::read(pipeFds[0], &c, 1) == 1)
        err += c;
    ::kill(pid, SIGTERM);
    while (::read(pipeFds[0], &c, 1) == 1)
        err += c;
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(pipeFds[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130) << err;
    EXPECT_NE(err.find("cancelled"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}
