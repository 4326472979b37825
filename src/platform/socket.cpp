#include "platform/socket.h"

#include "platform/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace kiv {

TSocket& TSocket::operator=(TSocket&& other) noexcept {
    if (this != &other) {
        Close();
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

void TSocket::Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
}

namespace {

// poll in short slices, so that an abort is noticed within 100 ms.
int PollSliced(pollfd& p, int timeoutMs, const std::atomic<bool>* abort) {
    constexpr int kSlice = 100;
    for (int waited = 0;; waited += kSlice) {
        if (abort && abort->load()) return 0;
        const int slice = timeoutMs < 0 ? kSlice : std::min(kSlice, timeoutMs - waited);
        if (slice <= 0) return 0;
        int rc = ::poll(&p, 1, slice);
        if (rc < 0 && errno == EINTR) continue;
        if (rc != 0) return rc;
    }
}

} // namespace

bool TSocket::Connect(const std::string& host, uint16_t port, int timeoutMs,
                      const std::atomic<bool>* abort) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, &::freeaddrinfo);
    for (addrinfo* a = found; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) continue;
        TSocket candidate(fd);
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int err = 0;
            socklen_t len = sizeof err;
            if (PollSliced(p, timeoutMs, abort) == 1 &&
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0)
                rc = 0;
        }
        if (rc != 0) continue;
        // Blocking from here on; every wait is bounded by poll.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        *this = std::move(candidate);
        return true;
    }
    return false;
}

bool TSocket::SendAll(const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::send(FFd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool TSocket::WaitReadable(int timeoutMs, const std::atomic<bool>* abort) {
    if (FFd < 0) return false;
    pollfd p{FFd, POLLIN, 0};
    return PollSliced(p, timeoutMs, abort) == 1;
}

int64_t TSocket::Receive(void* buffer, size_t size) {
    ssize_t n;
    do
        n = ::recv(FFd, buffer, size, 0);
    while (n < 0 && errno == EINTR);
    return n;
}

int32_t TSocketStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || !FSocket.WaitReadable(FTimeout)) return 0;
    int64_t n = FSocket.Receive(buffer, static_cast<size_t>(count));
    if (n <= 0) return 0;
    FPosition += n;
    return static_cast<int32_t>(n);
}

int64_t TSocketStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (origin == soCurrent && offset == 0) return FPosition;
    throw EKivError("Not Implement");
}

} // namespace kiv
