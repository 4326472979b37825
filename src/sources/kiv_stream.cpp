#include "sources/kiv_stream.h"

#include "codec/kivdecoder.h"
#include "net/address.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "platform/parse.h"
#include "platform/tick.h"

#include <cstdlib>
#include <strings.h>

namespace kiv {
namespace {

constexpr const char* kUnit = "KivPlayer/UnitFillThread";

// The reply is accepted unless its "Permission" line says exactly "False".
bool Refused(const std::string& reply) {
    size_t pos = 0;
    while (pos < reply.size()) {
        size_t end = reply.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = reply.size();
        std::string line = reply.substr(pos, end - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos && eq == 10 && strncasecmp(line.c_str(), "Permission", 10) == 0)
            return line.substr(eq + 1) == "False";
        pos = end + 1;
    }
    return false;
}

} // namespace

TKivStream::TKivStream(TPlayContext* context) : TLiveSource(context) {}

TKivStream::~TKivStream() {
    Destroy();
}

bool TKivStream::SplitAddress(const std::string& address, std::string& host, uint16_t& port,
                              std::string& channel) {
    if (address.size() <= 7) return false;
    const std::string rest = address.substr(7);
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return false;
    host = rest.substr(0, slash);
    channel = rest.substr(slash + 1);
    port = kDefaultPort;
    // An optional ":port" after the host selects another server port.
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        const std::string digits = host.substr(colon + 1);
        uint64_t value = 0;
        if (!ParseDecimal(digits, 65535, value) || value == 0) return false;
        port = static_cast<uint16_t>(value);
        host.resize(colon);
    }
    return !host.empty() && !channel.empty();
}

int TKivStream::Connect() {
    std::string host, channel;
    uint16_t port = kDefaultPort;
    if (!SplitAddress(FAddress, host, port, channel)) return srBadUrl;
    // Closing the source while it connects or waits for the reply must not wait
    // out the time-outs.
    if (!FSocket.Connect(host, port, kReplyTimeoutMs, &FAborting)) return srCannotConnect;
    const std::string login = "Login\r\nChannel=" + channel;
    if (!FSocket.SendAll(login.data(), login.size())) return srDisconnected;
    char reply[1024];
    if (!FSocket.WaitReadable(kReplyTimeoutMs, &FAborting)) return srDisconnected;
    const int64_t n = FSocket.Receive(reply, sizeof reply);
    if (n <= 0) return srDisconnected;
    if (Refused(std::string(reply, static_cast<size_t>(n)))) return srRefused;
    if (!FSocket.SendAll("Start", 5)) return srDisconnected;
    return srOk;
}

void TKivStream::HandleOpen() {
    KIV_ASSERT(FState == lsNotOpened, kUnit);
    FState = lsWaitingKeyFrame;
    FSourceKind = skLive;
    if (int code = Connect()) {
        FSocket.Close();
        FState = lsNotOpened;
        PostOpenResult(code);
        return;
    }
    FStream = std::make_unique<TSocketStream>(FSocket, kReplyTimeoutMs);
    FCutter.Clear();
    FBufferUsed = 0;
    // The source counts as opened once the first key frame has arrived.
    Fill(-1);
}

void TKivStream::HandleRead(int32_t target) {
    FReading = true;
    bool found = false, held = false;
    std::string failure;
    FStartTick = GetTickMs();
    FTotalBytes = 0;
    try {
        while (FStream && !Interrupted()) {
            if (FState == lsStopped) {
                if (!FSocket.SendAll("Start", 5)) throw EKivError("网络故障");
                FState = lsStreaming;
            }
            // Ahead of playing, it stops receiving until the play thread has trimmed:
            // the socket then holds the server back.
            if (!CutRecords(target, found)) {
                if (!held)
                    DebugLog("TKivStream.HandleRead: the frames buffer is at its limit; "
                             "receiving waits for playing");
                held = true;
                if (!WaitForRoom()) break;
                continue; // what is held is cut before more is read
            }
            if (!FSocket.WaitReadable(100)) {
                WaitMessageFor(10);
                continue;
            }
            if (FCutter.Room() == 0) throw EKivError("damaged record");
            const int32_t got = FStream->Read(FCutter.Tail(), static_cast<int32_t>(FCutter.Room()));
            if (got <= 0) throw EKivError("网络连接被断开");
            FTotalBytes += got;
            FLastTick = GetTickMs();
            if (FLastTick - FStartTick >= 1000)
                FBitRate = static_cast<int32_t>(FTotalBytes * 8 / (FLastTick - FStartTick));
            FCutter.Commit(static_cast<uint32_t>(got));
            CutRecords(target, found);
            FBufferUsed = FCutter.Used();
        }
    } catch (const std::exception& e) {
        FSocket.Close();
        FStream.reset();
        failure = std::string("TKivStream.HandleRead: ") + e.what();
    }
    FReading = false;
    if (!failure.empty()) {
        DebugLog(failure);
        FState = lsNotOpened;
        if (FContext->Window) FContext->Window->Post(WM_RECONNECT, 1, Tag());
    }
}

void TKivStream::HandleStop() {
    const bool sent = FSocket.IsOpen() && FSocket.SendAll("Stop", 4);
    FState = lsStopped;
    // The waiting caller is released even when this ends the thread.
    if (!sent && FSocket.IsOpen()) throw EKivError("网络故障");
}

} // namespace kiv
