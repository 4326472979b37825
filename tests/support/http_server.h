// A small HTTP/1.1 server on 127.0.0.1 for tests: each request goes to a handler
// that decides the answer, so tests can produce what no stock server does.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kiv::test {

struct THttpRequest {
    std::string Method, Target;
    std::map<std::string, std::string> Headers; // names in lower case
};

struct THttpResponse {
    int Status = 200;
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    bool DropBeforeAnswer = false;                 // close the connection without answering
    size_t DropAfterBodyBytes = std::string::npos; // close after sending this much body
    bool Close = false;                            // answer, then close
    size_t TrickleBytes = 0;                       // the body this many bytes at a time,
    int TrickleMs = 0;                             // with this pause after each
};

class THttpServer {
public:
    using THandler = std::function<THttpResponse(const THttpRequest&)>;

    explicit THttpServer(THandler handler);
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    int Port() const { return FPort; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + path;
    }
    int Requests() const { return FRequests.load(); }
    int Connections() const { return FConnections.load(); }

    // Serves byte ranges of a body, as a range-honouring server would.
    static THttpResponse Ranged(const THttpRequest& request, const std::string& body);
    // The same, but at most `most` bytes of any range: short, valid answers.
    static THttpResponse RangedAtMost(const THttpRequest& request, const std::string& body,
                                      size_t most);

private:
    void Serve();
    void ServeConnection(int fd);

    THandler FHandler;
    int FListen = -1;
    int FWake[2] = {-1, -1};
    int FPort = 0;
    std::atomic<int> FRequests{0};
    std::atomic<int> FConnections{0};
    std::mutex FLock;
    std::vector<std::thread> FWorkers; // guarded by FLock
    std::vector<int> FOpen;            // open connection sockets, guarded by FLock
    std::thread FAcceptor;
};

} // namespace kiv::test
