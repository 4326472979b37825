// Real servers for the tests, on 127.0.0.1 only: nginx (Debian nginx-light) with a
// generated configuration in a temporary folder, and the child-process plumbing
// that the other stock servers share.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kiv::test {

// A folder under $TMPDIR (or /tmp) removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string File(const std::string& name) const { return FPath + "/" + name; }
    // Writes (replaces) a file in the folder; returns its path.
    std::string Write(const std::string& name, const void* bytes, size_t size) const;
    template <class C> std::string Write(const std::string& name, const C& bytes) const {
        return Write(name, bytes.data(), bytes.size());
    }

private:
    std::string FPath;
};

// A port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
// The first of the names that is an executable file, searched in PATH unless it has a "/".
std::string FindProgram(const std::vector<std::string>& names);

// A server program run as a child of the test; ended (and reaped) by Stop or the destructor.
class TServerProcess {
public:
    TServerProcess() = default;
    ~TServerProcess() { Stop(); }
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    // Runs argv with its output to logPath and waits until 127.0.0.1:port takes connections.
    // False when the program ended or did not listen within the time-out.
    bool Start(const std::vector<std::string>& argv, int port, const std::string& logPath);
    void Stop();
    bool Running() const { return FPid > 0; }

private:
    pid_t FPid = -1;
};

class TNginx {
public:
    // Starts nginx serving a fresh temporary folder; check Running().
    TNginx();
    ~TNginx();

    // The installed nginx, or empty.
    static std::string Binary();
    static constexpr const char* kMissing =
        "nginx is not installed (Debian package nginx-light; scripts/install-deps.sh installs it)";

    bool Running() const { return FProcess.Running(); }
    // Why it is not running, with the end of its error log.
    const std::string& Error() const { return FError; }
    int Port() const { return FPort; }
    // The folder served at "/".
    const TTempDir& Root() const { return FRoot; }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + "/" + name;
    }
    // One line per request answered so far:
    // "<connection serial> <status> <range header or -> <body bytes sent> <request>".
    std::vector<std::string> AccessLog() const;

private:
    TTempDir FDir;  // configuration, logs, temporary paths
    TTempDir FRoot; // documents
    TServerProcess FProcess;
    int FPort = 0;
    std::string FError;
};

} // namespace kiv::test
