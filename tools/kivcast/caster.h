// A stand-in for the product's multicast caster: sends the sample records of a
// recording to a group, each cut into datagrams with the 12-byte header.
#pragma once

#include "platform/udp_socket.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kiv::cast {

struct TCastOptions {
    std::string Group = "238.0.0.1";
    uint16_t Port = 6000;
    std::string Interface; // address of the interface to send through
    std::string SmsPath;   // description file to write, if any
    std::string Recording;
    bool Once = false;   // one pass instead of looping
    double RateMbit = 0; // pace by this rate of sample bytes instead of the time stamps
    int Ttl = 1;
    // (sample number in sending order, fragment number) pairs never sent.
    std::set<std::pair<uint64_t, uint32_t>> Drops;
    bool Quiet = false;
};

struct TCastSummary {
    uint64_t Samples = 0;
    uint64_t Datagrams = 0;
    uint64_t Bytes = 0; // sample bytes
    uint32_t Passes = 0;
};

// Sends records as datagrams; numbers the samples itself.
class TCaster {
public:
    // Raises EKivError when the socket cannot be set up.
    explicit TCaster(const TCastOptions& options);

    // Sends one whole record; fragments chosen to be dropped are left out.
    // Raises EKivError when sending fails.
    void Send(const uint8_t* record, uint32_t size);
    const TCastSummary& Summary() const { return FSummary; }

private:
    TUdpSocket FSocket;
    sockaddr_in FTo{};
    std::set<std::pair<uint64_t, uint32_t>> FDrops;
    std::vector<uint8_t> FDatagram;
    uint32_t FNextId = 1;
    TCastSummary FSummary;
};

// Writes the description file a player opens: section "Address", "ip" and "port".
// Raises EKivError when it cannot be written.
void WriteSmsFile(const std::string& path, const std::string& group, uint16_t port);

// Sends the recording as the options say; returns after one pass (Once) or never.
// Raises EKivError on failures.
TCastSummary Cast(const TCastOptions& options);

// `kivcast [options] RECORDING`: returns the exit code (0 done, 1 failed, 2 bad arguments).
int CastCommand(int argc, char** argv);

} // namespace kiv::cast
