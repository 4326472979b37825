// A network of its own for multicast tests: a caster namespace and a player
// namespace joined by veth pairs with private addresses, and helpers to run a
// thread or a program inside them. Nothing is sent on the machine's own interfaces.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kiv::test {

// Link k (from 1) joins the caster's 10.213.k.1/24 to the player's 10.213.k.2/24.
class TNetLab {
public:
    // Makes both namespaces and `links` veth pairs, multicast on, with a route for
    // 224.0.0.0/4 over link 1; Ok() tells whether that worked.
    explicit TNetLab(int links);
    // Removes the namespaces, and with them the veth pairs.
    ~TNetLab();
    TNetLab(const TNetLab&) = delete;
    TNetLab& operator=(const TNetLab&) = delete;

    bool Ok() const { return FOk; }
    // Why the lab could not be made, for the skip message.
    const std::string& Why() const { return FWhy; }
    const std::string& CasterNs() const { return FCaster; }
    const std::string& PlayerNs() const { return FPlayer; }
    static std::string CasterAddress(int link) { return "10.213." + std::to_string(link) + ".1"; }
    static std::string PlayerAddress(int link) { return "10.213." + std::to_string(link) + ".2"; }

private:
    void Remove();

    std::string FCaster, FPlayer, FWhy;
    bool FOk = false;
};

// Moves the calling thread into a namespace until it goes out of scope. Threads
// started meanwhile stay there for their lifetime; so do the sockets they make.
class TInNamespace {
public:
    explicit TInNamespace(const std::string& name);
    ~TInNamespace();
    TInNamespace(const TInNamespace&) = delete;
    TInNamespace& operator=(const TInNamespace&) = delete;
    bool Ok() const { return FOk; }

private:
    int FHome = -1;
    bool FOk = false;
};

// A program run in a namespace through "ip netns exec"; its output goes to a
// file. Killed (if still running) and reaped when it goes out of scope.
class TNsProcess {
public:
    TNsProcess(const std::string& ns, const std::vector<std::string>& args);
    ~TNsProcess();
    TNsProcess(const TNsProcess&) = delete;
    TNsProcess& operator=(const TNsProcess&) = delete;

    bool Started() const { return FPid > 0; }
    // The exit status, or -1 when it did not end within the time-out.
    int Wait(int64_t timeoutMs);
    std::string Output() const;

private:
    pid_t FPid = -1;
    int FStatus = -1;
    std::string FOutputPath;
};

// Runs a command to its end; returns its exit status (-1 when it could not be
// run) and, if asked, what it wrote.
int RunCommand(const std::vector<std::string>& args, std::string* output = nullptr);

// The caster program.
std::string KivcastPath();

} // namespace kiv::test
