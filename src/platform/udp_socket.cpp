#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace kiv {

bool ParseIPv4(const std::string& dotted, in_addr& out) {
    // inet_pton stops at a NUL: "238.0.0.1\0junk" from a file is not an address.
    if (dotted.find('\0') == std::string::npos && inet_pton(AF_INET, dotted.c_str(), &out) == 1)
        return true;
    errno = EINVAL;
    return false;
}

bool IsMulticastGroup(const std::string& dotted) {
    in_addr a{};
    return ParseIPv4(dotted, a) && IN_MULTICAST(ntohl(a.s_addr));
}

TUdpSocket& TUdpSocket::operator=(TUdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

bool TUdpSocket::Open() {
    Close();
    FFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return FFd >= 0;
}

void TUdpSocket::Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
}

template <class T> bool TUdpSocket::SetOption(int level, int name, const T& value) {
    return setsockopt(FFd, level, name, &value, sizeof value) == 0;
}

bool TUdpSocket::SetReuseAddress() {
    return SetOption(SOL_SOCKET, SO_REUSEADDR, int{1});
}

bool TUdpSocket::Bind(const std::string& address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && !ParseIPv4(address, a.sin_addr)) return false;
    return bind(FFd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool TUdpSocket::JoinGroup(const std::string& group, const std::string& local) {
    ip_mreq m{};
    m.imr_interface.s_addr = htonl(INADDR_ANY);
    if (!ParseIPv4(group, m.imr_multiaddr)) return false;
    if (!local.empty() && !ParseIPv4(local, m.imr_interface)) return false;
    return SetOption(IPPROTO_IP, IP_ADD_MEMBERSHIP, m);
}

bool TUdpSocket::ReceiveJoinedOnly() {
    return SetOption(IPPROTO_IP, IP_MULTICAST_ALL, int{0});
}

bool TUdpSocket::SetReceiveTimeout(int ms) {
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return SetOption(SOL_SOCKET, SO_RCVTIMEO, tv);
}

bool TUdpSocket::SetReceiveBuffer(int bytes) {
    return SetOption(SOL_SOCKET, SO_RCVBUF, bytes);
}

int64_t TUdpSocket::ReceiveNow(void* buffer, size_t size) {
    // MSG_TRUNC reports the whole length of a datagram that did not fit.
    return recv(FFd, buffer, size, MSG_DONTWAIT | MSG_TRUNC);
}

bool TUdpSocket::SetSendInterface(const std::string& local) {
    in_addr a{};
    return ParseIPv4(local, a) && SetOption(IPPROTO_IP, IP_MULTICAST_IF, a);
}

bool TUdpSocket::SetMulticastTtl(int ttl) {
    return SetOption(IPPROTO_IP, IP_MULTICAST_TTL, static_cast<unsigned char>(ttl));
}

bool TUdpSocket::SetMulticastLoop(bool on) {
    return SetOption(IPPROTO_IP, IP_MULTICAST_LOOP, static_cast<unsigned char>(on ? 1 : 0));
}

bool TUdpSocket::SetSendBuffer(int bytes) {
    return SetOption(SOL_SOCKET, SO_SNDBUF, bytes);
}

bool TUdpSocket::SendTo(const void* data, size_t size, const sockaddr_in& to) {
    for (;;) {
        const ssize_t sent =
            sendto(FFd, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0) return static_cast<size_t>(sent) == size;
        if (errno != EINTR) return false;
    }
}

TWakeSignal::TWakeSignal() : FFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TWakeSignal::~TWakeSignal() {
    if (FFd >= 0) ::close(FFd);
}

void TWakeSignal::Signal() {
    const uint64_t one = 1;
    if (FFd >= 0 && ::write(FFd, &one, sizeof one) < 0) {
        // Only a counter at its limit refuses, and then a wake is pending anyway.
    }
}

void TWakeSignal::Clear() {
    uint64_t count = 0;
    if (FFd >= 0 && ::read(FFd, &count, sizeof count) < 0) {
        // Nothing was pending.
    }
}

} // namespace kiv
