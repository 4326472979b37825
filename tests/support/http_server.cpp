#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kiv::test {
namespace {

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

THttpServer::THttpServer(THandler handler) : FHandler(std::move(handler)) {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(FListen, 64) != 0 || ::pipe(FWake) != 0)
        throw std::runtime_error("test HTTP server cannot listen");
    socklen_t len = sizeof addr;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FAcceptor = std::thread([this] { Serve(); });
}

THttpServer::~THttpServer() {
    (void)!::write(FWake[1], "x", 1);
    FAcceptor.join();
    {
        std::lock_guard guard(FLock);
        for (int fd : FOpen)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : FWorkers)
        t.join();
    ::close(FListen);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

void THttpServer::Serve() {
    for (;;) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        // Header and body go out in separate sends: without this each answer waits
        // for the client's delayed acknowledgement.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++FConnections;
        std::lock_guard guard(FLock);
        FOpen.push_back(fd);
        FWorkers.emplace_back([this, fd] { ServeConnection(fd); });
    }
}

void THttpServer::ServeConnection(int fd) {
    std::string in;
    char buf[8192];
    for (;;) {
        size_t end;
        while ((end = in.find("\r\n\r\n")) == std::string::npos) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) goto done;
            in.append(buf, static_cast<size_t>(n));
        }
        THttpRequest req;
        {
            std::string head = in.substr(0, end);
            in.erase(0, end + 4);
            size_t lineEnd = head.find("\r\n");
            std::string first = head.substr(0, lineEnd);
            size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
            req.Method = first.substr(0, sp1);
            req.Target = first.substr(sp1 + 1, sp2 - sp1 - 1);
            while (lineEnd != std::string::npos) {
                size_t next = head.find("\r\n", lineEnd + 2);
                std::string line = head.substr(lineEnd + 2, next - lineEnd - 2);
                size_t colon = line.find(':');
                if (colon != std::string::npos) {
                    size_t v = line.find_first_not_of(' ', colon + 1);
                    req.Headers[Lower(line.substr(0, colon))] =
                        v == std::string::npos ? "" : line.substr(v);
                }
                lineEnd = next;
            }
        }
        ++FRequests;
        THttpResponse res = FHandler(req);
        if (res.DropBeforeAnswer) break;
        std::string out = "HTTP/1.1 " + std::to_string(res.Status) + " X\r\n";
        for (auto& [k, v] : res.Headers)
            out += k + ": " + v + "\r\n";
        out += "Content-Length: " + std::to_string(res.Body.size()) + "\r\n";
        if (res.Close) out += "Connection: close\r\n";
        out += "\r\n";
        size_t bodyBytes = std::min(res.Body.size(), res.DropAfterBodyBytes);
        if (!SendAll(fd, out.data(), out.size())) break;
        const size_t piece = res.TrickleBytes ? res.TrickleBytes : bodyBytes;
        bool sent = true;
        for (size_t at = 0; sent && at < bodyBytes; at += piece) {
            sent = SendAll(fd, res.Body.data() + at, std::min(piece, bodyBytes - at));
            if (res.TrickleBytes)
                std::this_thread::sleep_for(std::chrono::milliseconds(res.TrickleMs));
        }
        if (!sent) break;
        if (res.Close || bodyBytes < res.Body.size()) break;
    }
done : {
    std::lock_guard guard(FLock);
    FOpen.erase(std::remove(FOpen.begin(), FOpen.end(), fd), FOpen.end());
}
    ::close(fd);
}

THttpResponse THttpServer::RangedAtMost(const THttpRequest& request, const std::string& body,
                                        size_t most) {
    THttpRequest cut = request;
    unsigned long long from = 0, to = 0;
    auto it = cut.Headers.find("range");
    if (most > 0 && it != cut.Headers.end() &&
        std::sscanf(it->second.c_str(), "bytes=%llu-%llu", &from, &to) == 2 && to >= from &&
        to - from >= most)
        it->second = "bytes=" + std::to_string(from) + "-" + std::to_string(from + most - 1);
    return Ranged(cut, body);
}

THttpResponse THttpServer::Ranged(const THttpRequest& request, const std::string& body) {
    THttpResponse res;
    auto it = request.Headers.find("range");
    unsigned long long from = 0, to = 0;
    if (it == request.Headers.end() ||
        std::sscanf(it->second.c_str(), "bytes=%llu-%llu", &from, &to) != 2) {
        res.Body = body;
        return res;
    }
    if (from >= body.size()) {
        res.Status = 416;
        return res;
    }
    to = std::min<unsigned long long>(to, body.size() - 1);
    res.Status = 206;
    res.Body = body.substr(from, to - from + 1);
    res.Headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                                std::to_string(to) + "/" +
                                                std::to_string(body.size())});
    return res;
}

} // namespace kiv::test
