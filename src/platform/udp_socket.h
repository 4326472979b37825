// A UDP socket (IPv4) for sending and receiving multicast; the descriptor is
// closed with it. Operations return false on failure and leave the reason in errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace kiv {

// A dotted IPv4 address; false (errno EINVAL) when the text is not one.
bool ParseIPv4(const std::string& dotted, in_addr& out);
bool IsMulticastGroup(const std::string& dotted);

class TUdpSocket {
public:
    TUdpSocket() = default;
    ~TUdpSocket() { Close(); }
    TUdpSocket(TUdpSocket&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TUdpSocket& operator=(TUdpSocket&& other) noexcept;
    TUdpSocket(const TUdpSocket&) = delete;
    TUdpSocket& operator=(const TUdpSocket&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    bool SetReuseAddress();
    // An empty address binds to any.
    bool Bind(const std::string& address, uint16_t port);
    // Joins the group on the interface that has the local address (empty: the
    // system's choice of interface).
    bool JoinGroup(const std::string& group, const std::string& local);
    // Delivers only the groups this socket joined, and only from the interfaces it
    // joined them on (by default a socket also gets groups other sockets joined).
    bool ReceiveJoinedOnly();
    bool SetReceiveTimeout(int ms);
    bool SetReceiveBuffer(int bytes);
    // One datagram if one is waiting: its full length (more than size when it was
    // cut short), or -1 (errno EAGAIN when none was waiting).
    int64_t ReceiveNow(void* buffer, size_t size);

    // Sends multicast out of the interface that has the local address.
    bool SetSendInterface(const std::string& local);
    bool SetMulticastTtl(int ttl);
    bool SetMulticastLoop(bool on);
    bool SetSendBuffer(int bytes);
    // Sends one datagram to the address; false unless it went whole.
    bool SendTo(const void* data, size_t size, const sockaddr_in& to);

private:
    template <class T> bool SetOption(int level, int name, const T& value);

    int FFd = -1;
};

// Ends a wait on a socket early: poll its Fd beside the socket's.
class TWakeSignal {
public:
    TWakeSignal();
    ~TWakeSignal();
    TWakeSignal(const TWakeSignal&) = delete;
    TWakeSignal& operator=(const TWakeSignal&) = delete;

    int Fd() const { return FFd; }
    void Signal();
    // Takes back every signal given so far.
    void Clear();

private:
    int FFd = -1;
};

} // namespace kiv
