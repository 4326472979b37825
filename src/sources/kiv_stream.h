// A recording being made, played live from a recording server over TCP.
#pragma once

#include "platform/socket.h"
#include "sources/live_source.h"

#include <memory>
#include <string>

namespace kiv {

class TKivStream : public TLiveSource {
public:
    static constexpr uint16_t kDefaultPort = 1804;
    // The reply to "Login" and every read of the data phase wait at most this long.
    static constexpr int kReplyTimeoutMs = 10000;

    explicit TKivStream(TPlayContext* context);
    ~TKivStream() override;

    // "KIVS://host[:port]/channel" split; false when a part is missing.
    static bool SplitAddress(const std::string& address, std::string& host, uint16_t& port,
                             std::string& channel);

protected:
    void HandleRead(int32_t target) override;
    void HandleStop() override;
    void HandleOpen() override;

private:
    int Connect();

    TSocket FSocket; // reading thread
};

} // namespace kiv
