#include "multicast/net_lab.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kiv::test {
namespace {

constexpr const char* kPrefix = "kivmc";
int gLabs = 0;

std::string TempPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/kivmc-out-XXXXXX";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return "/dev/null";
    ::close(fd);
    return name.data();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& outputPath) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits for the child to end within the time-out; its exit status, or -1.
int WaitChild(pid_t pid, int64_t timeoutMs) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&p, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        ::close(pidfd);
        if (ready == 0) return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Joined(const std::vector<std::string>& args) {
    std::string s;
    for (const auto& a : args)
        s += (s.empty() ? "" : " ") + a;
    return s;
}

// Namespaces left by test programs that died before they could remove them.
void RemoveStaleNamespaces() {
    DIR* dir = opendir("/run/netns");
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind(kPrefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            stale.push_back(name);
    }
    closedir(dir);
    for (const auto& name : stale)
        RunCommand({"ip", "netns", "del", name});
}

} // namespace

int RunCommand(const std::vector<std::string>& args, std::string* output) {
    const std::string path = TempPath();
    const pid_t pid = Spawn(args, path);
    const int status = pid > 0 ? WaitChild(pid, -1) : -1;
    if (output) *output = ReadAll(path);
    if (path != "/dev/null") std::remove(path.c_str());
    return status;
}

std::string KivcastPath() {
#ifdef KIVCAST_PATH
    return KIVCAST_PATH;
#else
    return std::string(KIV_BINARY_DIR) + "/tools/kivcast/kivcast";
#endif
}

TNetLab::TNetLab(int links) {
    if (geteuid() != 0) {
        FWhy = "not running as root";
        return;
    }
    if (RunCommand({"ip", "-V"}) != 0) {
        FWhy = "the ip tool (iproute2) is not installed";
        return;
    }
    RemoveStaleNamespaces();
    const std::string id = std::to_string(getpid()) + "n" + std::to_string(++gLabs);
    FCaster = kPrefix + id + "c";
    FPlayer = kPrefix + id + "p";
    std::vector<std::vector<std::string>> steps = {
        {"ip", "netns", "add", FCaster},
        {"ip", "netns", "add", FPlayer},
        {"ip", "-n", FCaster, "link", "set", "lo", "up"},
        {"ip", "-n", FPlayer, "link", "set", "lo", "up"},
    };
    for (int k = 1; k <= links; ++k) {
        // Made inside the namespaces: the pair never appears among the host's links.
        const std::string c = "k" + id + "c" + std::to_string(k);
        const std::string p = "k" + id + "p" + std::to_string(k);
        const std::string net = "10.213." + std::to_string(k) + ".";
        steps.push_back({"ip", "-n", FCaster, "link", "add", c, "type", "veth", "peer", "name", p,
                         "netns", FPlayer});
        steps.push_back({"ip", "-n", FCaster, "addr", "add", net + "1/24", "dev", c});
        steps.push_back({"ip", "-n", FPlayer, "addr", "add", net + "2/24", "dev", p});
        steps.push_back({"ip", "-n", FCaster, "link", "set", c, "multicast", "on", "up"});
        steps.push_back({"ip", "-n", FPlayer, "link", "set", p, "multicast", "on", "up"});
        if (k == 1) {
            steps.push_back({"ip", "-n", FCaster, "route", "add", "224.0.0.0/4", "dev", c});
            steps.push_back({"ip", "-n", FPlayer, "route", "add", "224.0.0.0/4", "dev", p});
        }
    }
    for (const auto& step : steps) {
        std::string output;
        const int status = RunCommand(step, &output);
        if (status != 0) {
            FWhy = "cannot make the test network: `" + Joined(step) + "` exited with " +
                   std::to_string(status) + ": " + output;
            Remove();
            return;
        }
    }
    FOk = true;
}

TNetLab::~TNetLab() {
    Remove();
}

void TNetLab::Remove() {
    for (const auto& ns : {FCaster, FPlayer})
        if (!ns.empty()) RunCommand({"ip", "netns", "del", ns});
}

TInNamespace::TInNamespace(const std::string& name) {
    FHome = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    FOk = FHome >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) ::close(target);
}

TInNamespace::~TInNamespace() {
    if (FHome < 0) return;
    if (FOk && setns(FHome, CLONE_NEWNET) != 0) {
        // The thread would keep working in the lab: nothing can be trusted after this.
        std::perror("setns back to the test's own network");
        std::abort();
    }
    ::close(FHome);
}

TNsProcess::TNsProcess(const std::string& ns, const std::vector<std::string>& args)
    : FOutputPath(TempPath()) {
    std::vector<std::string> all = {"ip", "netns", "exec", ns};
    all.insert(all.end(), args.begin(), args.end());
    FPid = Spawn(all, FOutputPath);
}

TNsProcess::~TNsProcess() {
    if (FPid > 0 && FStatus < 0) {
        kill(FPid, SIGTERM);
        if (WaitChild(FPid, 10000) < 0) {
            kill(FPid, SIGKILL);
            WaitChild(FPid, -1);
        }
    }
    if (FOutputPath != "/dev/null") std::remove(FOutputPath.c_str());
}

int TNsProcess::Wait(int64_t timeoutMs) {
    if (FPid <= 0) return -1;
    if (FStatus < 0) FStatus = WaitChild(FPid, timeoutMs);
    return FStatus;
}

std::string TNsProcess::Output() const {
    return ReadAll(FOutputPath);
}

} // namespace kiv::test
