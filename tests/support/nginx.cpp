#include "support/nginx.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kiv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

bool Connectable(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

std::string Tail(const std::string& path, size_t bytes = 2000) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

} // namespace

TTempDir::TTempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kivtest-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder");
    FPath = name.data();
}

TTempDir::~TTempDir() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

std::string TTempDir::Write(const std::string& name, const void* bytes, size_t size) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

int FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string FindProgram(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        if (name.find('/') != std::string::npos) {
            if (::access(name.c_str(), X_OK) == 0) return name;
            continue;
        }
        const char* path = std::getenv("PATH");
        std::stringstream dirs(path ? path : "/usr/bin:/bin");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return {};
}

bool TServerProcess::Start(const std::vector<std::string>& argv, int port,
                           const std::string& logPath) {
    Stop();
    // Everything the child needs is made before fork: only exec-safe calls after it.
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) return false;
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0) {
        // A test that dies must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(log, 1);
        ::dup2(log, 2);
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(log);
    if (pid < 0) return false;
    FPid = pid;
    const auto deadline = steady_clock::now() + seconds(20);
    while (steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return false;
        }
        if (Connectable(port)) return true;
        // A process coming up announces nothing we could wait on: poll its port.
        std::this_thread::sleep_for(milliseconds(20));
    }
    Stop();
    return false;
}

void TServerProcess::Stop() {
    if (FPid <= 0) return;
    ::kill(FPid, SIGTERM);
    const auto deadline = steady_clock::now() + seconds(5);
    int status = 0;
    while (::waitpid(FPid, &status, WNOHANG) == 0) {
        if (steady_clock::now() > deadline) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    FPid = -1;
}

std::string TNginx::Binary() {
    return FindProgram({"/usr/sbin/nginx", "nginx"});
}

TNginx::TNginx() {
    const std::string nginx = Binary();
    if (nginx.empty()) {
        FError = kMissing;
        return;
    }
    const std::string& d = FDir.Path();
    for (const char* sub : {"body", "proxy", "fastcgi", "uwsgi", "scgi"})
        fs::create_directory(d + "/" + sub);
    // Another process may take the port between the probe and nginx's bind: try a few.
    for (int attempt = 0; attempt < 5 && !Running(); ++attempt) {
        FPort = FreeLoopbackPort();
        std::ofstream conf(d + "/nginx.conf", std::ios::trunc);
        conf << "daemon off;\n"
                "master_process off;\n"
                "worker_processes 1;\n"
                "pid "
             << d << "/nginx.pid;\n"
             << "lock_file " << d << "/nginx.lock;\n"
             << "error_log " << d << "/error.log info;\n"
             << "events { worker_connections 256; }\n"
                "http {\n"
                "  log_format kiv '$connection $status \"$http_range\" $body_bytes_sent "
                "\"$request\"';\n"
                "  access_log "
             << d << "/access.log kiv;\n"
             << "  client_body_temp_path " << d << "/body;\n"
             << "  proxy_temp_path " << d << "/proxy;\n"
             << "  fastcgi_temp_path " << d << "/fastcgi;\n"
             << "  uwsgi_temp_path " << d << "/uwsgi;\n"
             << "  scgi_temp_path " << d << "/scgi;\n"
             << "  default_type application/octet-stream;\n"
                "  keepalive_requests 1000000;\n"
                "  keepalive_timeout 120s;\n"
                "  server {\n"
                "    listen 127.0.0.1:"
             << FPort << ";\n"
             << "    root " << FRoot.Path() << ";\n"
             << "  }\n"
                "}\n";
        conf.close();
        FProcess.Start({nginx, "-e", d + "/error.log", "-p", d + "/", "-c", d + "/nginx.conf"},
                       FPort, d + "/output.log");
    }
    if (!Running())
        FError = "nginx did not start: " + Tail(d + "/error.log") + Tail(d + "/output.log");
}

TNginx::~TNginx() {
    FProcess.Stop();
}

std::vector<std::string> TNginx::AccessLog() const {
    std::vector<std::string> lines;
    std::ifstream in(FDir.Path() + "/access.log");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace kiv::test
