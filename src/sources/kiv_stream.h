// A recording being made, played live from a recording server over TCP.
#pragma once

#include "platform/socket.h"
#include "sources/fill_thread.h"

#include <memory>
#include <string>

namespace kiv {

class TKivStream : public TFillThread {
public:
    static constexpr uint16_t kDefaultPort = 1804;
    // The reply to "Login" and every read of the data phase wait at most this long.
    static constexpr int kReplyTimeoutMs = 10000;

    explicit TKivStream(TPlayContext* context);
    ~TKivStream() override;

    // 0 not connected, 1 waiting for the first key frame, 2 streaming, 3 paused.
    uint8_t State() const { return FState.load(); }

    // "KIVS://host[:port]/channel" split; false when a part is missing.
    static bool SplitAddress(const std::string& address, std::string& host, uint16_t& port,
                             std::string& channel);

protected:
    void HandleRead(int32_t target) override;
    void HandleSeek(int32_t target) override;
    void HandleReset() override;
    void HandleStop() override;
    void HandleOpen() override;

private:
    int Connect();
    void TakeRecord(TSampleBlock record, int32_t target, bool& found);

    TSocket FSocket; // reading thread
    std::atomic<uint8_t> FState{0};
    std::unique_ptr<uint8_t[]> FScratch; // decodes the first key frame; reading thread
};

} // namespace kiv
