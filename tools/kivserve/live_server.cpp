#include "live_server.h"

#include "format/recording_reader.h"
#include "platform/error.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace kiv::serve {

using Clock = std::chrono::steady_clock;

std::vector<std::vector<uint8_t>> TLiveServer::LoadRecording(const std::string& path) {
    TFileStream stream(path);
    TOpenedRecording r = OpenRecording(stream);
    if (r.Code != 0) throw EKivError("not a recording: " + path + " (" + r.Text + ")");
    std::vector<std::vector<uint8_t>> records;
    TRecordingWalker walker(stream, r.Header);
    walker.Run([&](TSampleBlock b) {
        records.emplace_back(b.get(), b.get() + SampleRecordSize(b.get()));
    });
    if (records.empty()) throw EKivError("no samples in " + path);
    return records;
}

TLiveServer::TLiveServer(std::vector<std::vector<uint8_t>> records, TServeOptions options)
    : FRecords(std::move(records)), FOptions(std::move(options)) {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(FOptions.Port);
    if (::inet_pton(AF_INET, FOptions.Bind.c_str(), &addr.sin_addr) != 1 ||
        ::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(FListen, 16) != 0 || ::pipe(FWake) != 0) {
        ::close(FListen);
        throw EKivError("cannot listen on " + FOptions.Bind + ":" + std::to_string(FOptions.Port));
    }
    socklen_t len = sizeof addr;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FAcceptor = std::thread([this] { Accept(); });
}

TLiveServer::~TLiveServer() {
    FStopping = true;
    (void)!::write(FWake[1], "x", 1);
    FAcceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard guard(FLock);
        workers.swap(FWorkers);
    }
    for (auto& t : workers)
        t.join();
    ::close(FListen);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

std::vector<std::string> TLiveServer::Channels() {
    std::lock_guard guard(FLock);
    return FChannels;
}

void TLiveServer::Accept() {
    for (;;) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++FConnections;
        std::lock_guard guard(FLock);
        FWorkers.emplace_back([this, fd] { Serve(fd); });
    }
}

namespace {

// Waits for a command from the client; "" when none came before the deadline,
// "-" when the connection closed.
std::string Command(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return "";
    char buf[1024];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    return n <= 0 ? "-" : std::string(buf, static_cast<size_t>(n));
}

bool SendAll(int fd, const uint8_t* p, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void TLiveServer::Serve(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto finish = [fd] { ::close(fd); };
    std::string login = Command(fd, 10000);
    const std::string prefix = "Login\r\nChannel=";
    if (login.rfind(prefix, 0) != 0) return finish();
    {
        std::lock_guard guard(FLock);
        FChannels.push_back(login.substr(prefix.size()));
    }
    std::string reply = "Server=kivserve\r\n";
    if (!FOptions.Permission.empty()) reply += "Permission=" + FOptions.Permission + "\r\n";
    if (!SendAll(fd, reinterpret_cast<const uint8_t*>(reply.data()), reply.size())) return finish();
    if (FOptions.Permission == "False") {
        Command(fd, 2000); // let the client see the reply before the close
        return finish();
    }
    if (Command(fd, 10000).find("Start") == std::string::npos) return finish();

    const auto started = Clock::now();
    auto start = started;
    bool paused = false;
    uint32_t base = 0; // time added on each loop, so time stamps keep rising
    const uint32_t span = SampleTimeStamp(FRecords.back().data()) + 40;
    const uint32_t first = SampleTimeStamp(FRecords[0].data());
    auto offset = [&](uint32_t time) {
        return std::chrono::microseconds(
            static_cast<int64_t>((time - first) * 1000.0 / FOptions.Speed));
    };
    size_t next = 0;
    std::vector<uint8_t> out;
    while (!FStopping) {
        if (FOptions.DropAfterMs >= 0 &&
            Clock::now() - started >= std::chrono::milliseconds(FOptions.DropAfterMs))
            break;
        if (next == FRecords.size()) {
            if (!FOptions.Loop) {
                Command(fd, 60000); // stay connected until the client goes
                break;
            }
            next = 0;
            base += span;
        }
        const uint32_t time = base + SampleTimeStamp(FRecords[next].data());
        int waitMs = 0;
        if (FOptions.Silent || paused) {
            waitMs = 50;
        } else if (FOptions.Speed > 0) {
            auto due = start + offset(time);
            waitMs = static_cast<int>(std::max<int64_t>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count()));
        }
        if (waitMs > 0) {
            std::string c = Command(fd, std::min(waitMs, 50));
            if (c == "-") break;
            if (c.find("Stop") != std::string::npos) paused = true;
            if (c.find("Start") != std::string::npos && paused) {
                paused = false;
                // Time spent paused is not made up for.
                if (FOptions.Speed > 0) start = Clock::now() - offset(time);
            }
            continue;
        }
        out = FRecords[next++];
        StoreLE32(out.data(), time);
        if (OnSent) OnSent(time, Clock::now());
        if (!SendAll(fd, out.data(), out.size())) break;
    }
    finish();
}

} // namespace kiv::serve
