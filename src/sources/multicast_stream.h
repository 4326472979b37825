// The multicast source: the address names a description file (".sms") giving a
// group and port; one receiver per usable local interface joins the group, and
// the complete sample records they deliver go to the frames buffer as from any
// other live source.
#pragma once

#include "sources/live_source.h"
#include "sources/multicast_description.h"
#include "sources/receive_thread.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class TKivMulticastStream : public TLiveSource {
public:
    static constexpr size_t kMaxReceivers = 4;

    // One receiver for every usable interface of the host.
    explicit TKivMulticastStream(TPlayContext* context);
    // One receiver for each of these interface addresses (at most 4 are taken).
    TKivMulticastStream(TPlayContext* context, std::vector<std::string> addresses);
    // Ends the reading thread first, then the receivers.
    ~TKivMulticastStream() override;

    const std::vector<std::string>& Addresses() const { return FAddresses; }
    // The receiver for Addresses()[i], for hosts that watch them.
    TReceiveThread& Receiver(size_t i) { return *FReceivers.at(i); }

protected:
    void HandleRead(int32_t target) override;
    void HandleStop() override;
    void HandleOpen() override;

private:
    bool PassInterrupted();

    std::array<std::unique_ptr<TReceiveThread>, kMaxReceivers> FReceivers;
    std::vector<std::string> FAddresses;
};

} // namespace kiv
