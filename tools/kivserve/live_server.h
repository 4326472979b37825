// A stand-in for the recording server: answers "Login", then streams the sample
// records of a recording in real time after "Start", pausing on "Stop".
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kiv::serve {

struct TServeOptions {
    std::string Bind = "127.0.0.1";
    uint16_t Port = 1804; // 0: any free port
    // The reply's Permission line; empty sends a reply without one.
    std::string Permission = "True";
    bool Loop = true;         // start over at the end, time stamps going on
    bool Silent = false;      // answer the login, then send nothing
    int64_t DropAfterMs = -1; // close each connection this long after "Start"
    double Speed = 1.0;       // 0: as fast as the connection takes it
};

class TLiveServer {
public:
    // records: whole sample records in time order. Raises on a port it cannot bind.
    TLiveServer(std::vector<std::vector<uint8_t>> records, TServeOptions options);
    ~TLiveServer();
    TLiveServer(const TLiveServer&) = delete;
    TLiveServer& operator=(const TLiveServer&) = delete;

    uint16_t Port() const { return FPort; }
    // Channels asked for so far, in order.
    std::vector<std::string> Channels();
    int Connections() const { return FConnections.load(); }
    // Called as each record leaves (its time stamp as sent), for latency figures.
    std::function<void(uint32_t timeStamp, std::chrono::steady_clock::time_point)> OnSent;

    // Reads a recording file's sample records.
    static std::vector<std::vector<uint8_t>> LoadRecording(const std::string& path);

private:
    void Accept();
    void Serve(int fd);

    std::vector<std::vector<uint8_t>> FRecords;
    TServeOptions FOptions;
    int FListen = -1;
    int FWake[2] = {-1, -1};
    uint16_t FPort = 0;
    std::atomic<bool> FStopping{false};
    std::atomic<int> FConnections{0};
    std::mutex FLock;
    std::vector<std::string> FChannels; // guarded by FLock
    std::vector<std::thread> FWorkers;  // guarded by FLock
    std::thread FAcceptor;
};

// `kivserve [--port P] [--bind ADDR] [--refuse] [...] RECORDING`
int ServeCommand(int argc, char** argv);

} // namespace kiv::serve
