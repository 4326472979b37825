// Lets one thread end another's downloads at once: the sockets of the
// transfers under way are shut down, so a stalled server cannot hold the
// downloading thread until the transfer times out.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

namespace kiv {

class TDownloadCancel {
public:
    // Every transfer under way and every later one fails at once.
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }

    // For the transfer: a new socket, -1 once cancelled; and its closing.
    int OpenSocket(int family, int type, int protocol);
    void CloseSocket(int fd);

private:
    std::atomic<bool> FCancelled{false};
    std::mutex FLock;
    std::vector<int> FSockets; // open transfer sockets, guarded by FLock
};

} // namespace kiv
