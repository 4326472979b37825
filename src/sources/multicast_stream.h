// The multicast source: the address names a description file (".sms") giving a
// group and port; one receiver per usable local interface joins the group, and
// the complete sample records they deliver go to the frames buffer as from any
// other live source.
#pragma once

#include "sources/fill_thread.h"
#include "sources/multicast_description.h"
#include "sources/receive_thread.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class TKivMulticastStream : public TFillThread {
public:
    static constexpr size_t kMaxReceivers = 4;

    enum TState : uint8_t {
        msNotOpened = 0,
        msWaitingKeyFrame = 1,
        msStreaming = 2,
        msStopped = 3
    };

    // One receiver for every usable interface of the host.
    explicit TKivMulticastStream(TPlayContext* context);
    // One receiver for each of these interface addresses (at most 4 are taken).
    TKivMulticastStream(TPlayContext* context, std::vector<std::string> addresses);
    // Ends the reading thread first, then the receivers.
    ~TKivMulticastStream() override;

    uint8_t State() const { return FState.load(); }
    const std::vector<std::string>& Addresses() const { return FAddresses; }
    // The receiver for Addresses()[i], for hosts that watch them.
    TReceiveThread& Receiver(size_t i) { return *FReceivers.at(i); }

protected:
    void HandleRead(int32_t target) override;
    void HandleSeek(int32_t target) override;
    void HandleReset() override;
    void HandleStop() override;
    void HandleOpen() override;

private:
    bool PassInterrupted();
    void TakeSample(TSampleBlock block, int32_t target, bool& found);
    void LearnPictureSize(const uint8_t* keyFrame);

    std::atomic<uint8_t> FState{msNotOpened};
    std::array<std::unique_ptr<TReceiveThread>, kMaxReceivers> FReceivers;
    std::vector<std::string> FAddresses;
};

} // namespace kiv
