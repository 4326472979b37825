// Receives one multicast group on one local interface, reassembles the sample
// records from their datagrams and keeps the complete ones in a bounded queue
// for the multicast stream source.
#pragma once

#include "platform/event.h"
#include "platform/thread.h"
#include "platform/udp_socket.h"
#include "sources/datagram.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace kiv {

constexpr uint32_t WM_RECEIVE_START = WM_USER + 10;
constexpr uint32_t WM_RECEIVE_STOP = WM_USER + 11;

class TReceiveThread final : private TThread {
public:
    // Where the current receive run stands.
    enum class TRunState { Idle, Starting, Receiving, Failed };

    // Starts the thread; it waits for a start request.
    TReceiveThread();
    ~TReceiveThread() override;

    // Set before Start; a run takes them as they are when it begins.
    void SetGroup(const std::string& group) { FGroup = group; }
    void SetPort(uint32_t port) { FPort = port; }
    // Empty: any interface.
    void SetLocalAddress(const std::string& address) { FLocalAddress = address; }
    const std::string& Group() const { return FGroup; }
    uint32_t Port() const { return FPort; }
    const std::string& LocalAddress() const { return FLocalAddress; }

    // Asks for a receive run and waits until the thread has taken the request (the
    // socket is set up after that). False when the thread has ended.
    bool Start();
    // Ends the run, giving up a half-received sample; complete ones stay queued.
    // Waits until the thread has done it. False when the thread has ended.
    bool StopReceiving();
    // The oldest complete sample record, or null; the caller owns it.
    TSampleBlock Pop() { return FQueue.Pop(); }
    // Ends the thread and frees what it holds. Idempotent.
    void Destroy();

    bool Running() const { return FRunning.load(); }
    TRunState RunState();
    // Waits until a receive run has its socket joined (true) or has failed to set
    // it up (false); false also at the time-out.
    bool WaitReceiving(int64_t timeoutMs);
    // Samples handed to the queue so far (also those the queue later freed).
    uint64_t Completed();
    // Waits until at least count samples were handed to the queue.
    bool WaitCompleted(uint64_t count, int64_t timeoutMs);
    uint64_t Dropped() const { return FDropped.load(); }
    uint64_t Ignored() const { return FIgnored.load(); }
    // Samples the full queue freed to make room.
    uint64_t Evicted() const { return FEvicted.load(); }
    size_t Queued() { return FQueue.Count(); }
    // Receive runs begun so far.
    uint64_t Runs() const { return FRuns.load(); }

    using TThread::Finished;
    using TThread::ThreadId;

private:
    void Execute() override;
    void Receive();
    bool SetUpSocket();
    void Take(const uint8_t* datagram, size_t size);
    bool Request(uint32_t msg);
    void SetRunState(TRunState state);

    std::atomic<bool> FRunning{false};
    TEvent FEvent; // once per start request, once at the end of every stop request
    std::string FGroup = "238.0.0.1";
    uint32_t FPort = 6000;
    std::string FLocalAddress;
    TUdpSocket FSocket;          // the receiver's thread
    TSampleAssembler FAssembler; // the receiver's thread
    TSampleQueue FQueue;
    uint64_t FTooLong = 0; // the receiver's thread: datagrams cut short
    TWakeSignal FWake;     // a request ends a wait for datagrams at once
    bool FDestroyed = false;

    std::mutex FStatusLock;
    std::condition_variable FStatusChanged;
    TRunState FRunState = TRunState::Idle; // guarded by FStatusLock
    uint64_t FCompleted = 0;               // guarded by FStatusLock
    std::atomic<uint64_t> FDropped{0}, FIgnored{0}, FEvicted{0}, FRuns{0};
};

} // namespace kiv
