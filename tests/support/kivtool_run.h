// Runs the built kivtool as a script would, collecting what it prints.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace kiv::test {

struct TRun {
    int Exit = -1;
    std::string Out, Err;
};

// program: its path in the build folder; errFile holds standard error meanwhile;
// env prefixes the command.
inline TRun RunBuilt(const std::string& program, const std::string& errFile,
                     const std::string& args, const std::string& env = "") {
    const std::string cmd =
        env + " " + std::string(KIV_BINARY_DIR) + "/" + program + " " + args + " 2>" + errFile;
    TRun run;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        run.Out.append(buf, n);
    const int status = ::pclose(p);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    std::stringstream s;
    s << in.rdbuf();
    run.Err = s.str();
    return run;
}

inline TRun RunKivtool(const std::string& errFile, const std::string& args,
                       const std::string& env = "") {
    return RunBuilt("apps/kivtool/kivtool", errFile, args, env);
}

} // namespace kiv::test
