#include "commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kivtool {

// Export is kivtool-export beside this program: FFmpeg's libraries, loaded with
// it, would cost every other command some 25 MB at start. It runs in this
// process's place, so signals, the terminal and the exit code are the same.
int CmdExport(const TArgs& args) {
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) {
        std::fprintf(stderr, "kivtool: cannot find its own path: %s\n", std::strerror(errno));
        return 1;
    }
    self.resize(static_cast<size_t>(n));
    const std::string program = self.substr(0, self.rfind('/') + 1) + "kivtool-export";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "kivtool: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}

} // namespace kivtool
