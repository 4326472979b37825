#include "sources/receive_thread.h"

#include "platform/debug_log.h"
#include "platform/error.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kiv {
namespace {

constexpr const char* kUnit = "Cast/Receiver/UnitReceive";
constexpr int kReceiveTimeoutMs = 1000;
// Room for bursts while the thread is not scheduled (the system may grant less).
constexpr int kSocketBufferBytes = 4 << 20;

std::string WithError(const char* text, int error) {
    return text + std::to_string(error);
}

} // namespace

TReceiveThread::TReceiveThread()
    : FAssembler([](uint32_t id, TSampleAssembler::TDrop why) {
          // Lost datagrams are not repaired; the sample is gone.
          char line[128];
          std::snprintf(line, sizeof line, "TReceiveThread: sample %u dropped (%s)", id,
                        TSampleAssembler::DropText(why));
          DebugLog(line);
      }) {
    TThread::Start();
}

TReceiveThread::~TReceiveThread() {
    Destroy();
}

bool TReceiveThread::Request(uint32_t msg) {
    // A post fails only once the thread has ended; then nothing can answer.
    if (!Post(msg)) return false;
    FWake.Signal();
    // The thread signals once per request; it also signals as it ends, in case the
    // request was still queued then.
    while (!FEvent.Wait(250))
        if (Finished()) return false;
    return true;
}

bool TReceiveThread::Start() {
    return Request(WM_RECEIVE_START);
}

bool TReceiveThread::StopReceiving() {
    return Request(WM_RECEIVE_STOP);
}

void TReceiveThread::Destroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    if (Quit()) FWake.Signal();
    WaitFor();
    FQueue.Clear();
    FAssembler.Discard();
    FSocket.Close();
}

TReceiveThread::TRunState TReceiveThread::RunState() {
    std::lock_guard guard(FStatusLock);
    return FRunState;
}

void TReceiveThread::SetRunState(TRunState state) {
    std::lock_guard guard(FStatusLock);
    FRunState = state;
    FStatusChanged.notify_all();
}

bool TReceiveThread::WaitReceiving(int64_t timeoutMs) {
    std::unique_lock guard(FStatusLock);
    FStatusChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        return FRunState == TRunState::Receiving || FRunState == TRunState::Failed;
    });
    return FRunState == TRunState::Receiving;
}

uint64_t TReceiveThread::Completed() {
    std::lock_guard guard(FStatusLock);
    return FCompleted;
}

bool TReceiveThread::WaitCompleted(uint64_t count, int64_t timeoutMs) {
    std::unique_lock guard(FStatusLock);
    return FStatusChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                   [&] { return FCompleted >= count; });
}

void TReceiveThread::Execute() {
    // A higher priority than the consumer's, where the system allows it.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
    TMessage m;
    while (GetMessage(m)) {
        switch (m.Msg) {
        case WM_RECEIVE_START:
            if (FRunning) {
                FEvent.Signal();
                break;
            }
            FRunning = true;
            SetRunState(TRunState::Starting);
            // The requester goes on while the socket is set up.
            FEvent.Signal();
            Receive();
            break;
        case WM_RECEIVE_STOP:
            FAssembler.Discard();
            FRunning = false;
            SetRunState(TRunState::Idle);
            FEvent.Signal();
            break;
        default:
            break;
        }
    }
    FEvent.Signal();
}

bool TReceiveThread::SetUpSocket() {
    try {
        FSocket.Close();
        KIV_ASSERT(FSocket.Open(), kUnit);
        if (!FSocket.SetReuseAddress()) throw EKivError("重用失败");
        // Here a socket bound to an interface's own address gets no multicast at
        // all; bound to the group it gets that group's datagrams, and the join
        // below picks the interface.
        const std::string bindTo = IsMulticastGroup(FGroup) ? FGroup : "";
        if (!FSocket.Bind(bindTo, static_cast<uint16_t>(FPort)))
            throw EKivError(WithError("绑定失败 ：", errno));
        // Without this every receiver would also get what the others joined.
        FSocket.ReceiveJoinedOnly();
        if (!FSocket.JoinGroup(FGroup, FLocalAddress))
            throw EKivError(WithError("加入多播组失败：", errno));
        if (!FSocket.SetReceiveTimeout(kReceiveTimeoutMs))
            throw EKivError(WithError("设置超时时间失败:", errno));
        FSocket.SetReceiveBuffer(kSocketBufferBytes);
        return true;
    } catch (const std::exception& e) {
        // Nothing is delivered until a stop and a new start.
        DebugLog(std::string("UnitRecieve: ") + e.what());
        return false;
    }
}

void TReceiveThread::Receive() {
    ++FRuns;
    if (!SetUpSocket()) {
        SetRunState(TRunState::Failed);
        return;
    }
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kMaxDatagramSize);
    SetRunState(TRunState::Receiving);
    TMessage m;
    while (!PeekMessage(m)) {
        pollfd fds[2] = {{FSocket.Fd(), POLLIN, 0}, {FWake.Fd(), POLLIN, 0}};
        if (poll(fds, 2, kReceiveTimeoutMs) <= 0) continue;
        if (fds[1].revents) FWake.Clear();
        if (!(fds[0].revents & POLLIN)) continue;
        // Take what has come, looking for a request before every datagram.
        while (!PeekMessage(m)) {
            const int64_t got = FSocket.ReceiveNow(buffer.get(), kMaxDatagramSize);
            if (got < 0) break;
            if (got > kMaxDatagramSize) {
                // Cut short: not a datagram of this format.
                ++FTooLong;
                FIgnored = FAssembler.Ignored() + FTooLong;
                continue;
            }
            Take(buffer.get(), static_cast<size_t>(got));
        }
    }
}

void TReceiveThread::Take(const uint8_t* datagram, size_t size) {
    TSampleBlock sample = FAssembler.Feed(datagram, size);
    FDropped = FAssembler.Dropped();
    FIgnored = FAssembler.Ignored() + FTooLong;
    if (!sample) return;
    FEvicted += FQueue.Push(std::move(sample));
    std::lock_guard guard(FStatusLock);
    ++FCompleted;
    FStatusChanged.notify_all();
}

} // namespace kiv
