#include "net/address.h"
#include "net/curl_handle.h"
#include "net/download_cancel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace kiv {

TCurlHandle NewCurlHandle() {
    const curl::TApi* api = curl::Api();
    if (!api) return nullptr;
    TCurlHandle h(api->EasyInit());
    if (!h) return h;
    curl::SetOpt(h.get(), CURLOPT_USERAGENT, "Corvale KivPlayer");
    curl::SetOpt(h.get(), CURLOPT_NOSIGNAL, 1L);
    curl::SetOpt(h.get(), CURLOPT_CONNECTTIMEOUT, 10L);
    // A server that stops sending must not hang a reading thread for ever.
    curl::SetOpt(h.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl::SetOpt(h.get(), CURLOPT_LOW_SPEED_TIME, 15L);
    return h;
}

namespace {

// The body arrives in 1,024-byte blocks, each refused when it holds an HTML
// doctype: a server's error page is not the file that was asked for.
struct TDownload {
    std::string Path;
    std::unique_ptr<FILE, int (*)(FILE*)> File{nullptr, &std::fclose};
    char Block[1024];
    size_t BlockUsed = 0;
    bool Html = false;
    bool WriteFailed = false;

    bool Open() {
        if (!File) File.reset(std::fopen(Path.c_str(), "wb"));
        return static_cast<bool>(File);
    }
    bool Flush() {
        if (BlockUsed == 0) return true;
        static constexpr char kDoctype[] = "<!DOCTYPE";
        if (memmem(Block, BlockUsed, kDoctype, sizeof kDoctype - 1)) {
            Html = true;
            return false;
        }
        if (!Open() || std::fwrite(Block, 1, BlockUsed, File.get()) != BlockUsed) {
            WriteFailed = true;
            return false;
        }
        BlockUsed = 0;
        return true;
    }
    static size_t OnData(char* data, size_t one, size_t count, void* self) {
        auto* d = static_cast<TDownload*>(self);
        size_t size = one * count;
        for (size_t done = 0; done < size;) {
            size_t take = std::min(size - done, sizeof d->Block - d->BlockUsed);
            std::memcpy(d->Block + d->BlockUsed, data + done, take);
            d->BlockUsed += take;
            done += take;
            if (d->BlockUsed == sizeof d->Block && !d->Flush()) return 0;
        }
        return size;
    }
};

curl_socket_t OnOpenSocket(void* cancel, curlsocktype, curl_sockaddr* address) {
    const int fd = static_cast<TDownloadCancel*>(cancel)->OpenSocket(
        address->family, address->socktype, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int OnCloseSocket(void* cancel, curl_socket_t fd) {
    static_cast<TDownloadCancel*>(cancel)->CloseSocket(fd);
    return 0;
}

int OnProgress(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TDownloadCancel*>(cancel)->Cancelled() ? 1 : 0;
}

} // namespace

void TDownloadCancel::Cancel() {
    std::lock_guard guard(FLock);
    FCancelled = true;
    // Wakes a transfer blocked on the socket; the transfer still closes it.
    for (int fd : FSockets)
        shutdown(fd, SHUT_RDWR);
}

int TDownloadCancel::OpenSocket(int family, int type, int protocol) {
    std::lock_guard guard(FLock);
    if (FCancelled) return -1;
    const int fd = socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd >= 0) FSockets.push_back(fd);
    return fd;
}

void TDownloadCancel::CloseSocket(int fd) {
    std::lock_guard guard(FLock);
    std::erase(FSockets, fd);
    close(fd);
}

bool DownloadToFile(const std::string& url, const std::string& path) {
    return DownloadToFile(url, path, nullptr);
}

bool DownloadToFile(const std::string& url, const std::string& path, TDownloadCancel* cancel) {
    if (cancel && cancel->Cancelled()) return false;
    TCurlHandle h = NewCurlHandle();
    if (!h) return false;
    TDownload d;
    d.Path = path;
    TCurlSlist headers(curl::SlistAppend(nullptr, "Cache-Control: no-cache"));
    if (!headers) return false;
    curl::SlistAppend(headers.get(), "Pragma: no-cache");
    curl::SetOpt(h.get(), CURLOPT_URL, url.c_str());
    curl::SetOpt(h.get(), CURLOPT_HTTPHEADER, headers.get());
    curl::SetOpt(h.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl::SetOpt(h.get(), CURLOPT_MAXREDIRS, 5L);
    curl::SetOpt(h.get(), CURLOPT_FAILONERROR, 1L);
    curl::SetOpt(h.get(), CURLOPT_FRESH_CONNECT, 1L);
    curl::SetOpt(h.get(), CURLOPT_WRITEFUNCTION, &TDownload::OnData);
    curl::SetOpt(h.get(), CURLOPT_WRITEDATA, &d);
    if (cancel) {
        curl::SetOpt(h.get(), CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
        curl::SetOpt(h.get(), CURLOPT_OPENSOCKETDATA, static_cast<void*>(cancel));
        curl::SetOpt(h.get(), CURLOPT_CLOSESOCKETFUNCTION, &OnCloseSocket);
        curl::SetOpt(h.get(), CURLOPT_CLOSESOCKETDATA, static_cast<void*>(cancel));
        curl::SetOpt(h.get(), CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl::SetOpt(h.get(), CURLOPT_XFERINFODATA, static_cast<void*>(cancel));
        curl::SetOpt(h.get(), CURLOPT_NOPROGRESS, 0L);
    }
    CURLcode rc = curl::Perform(h.get());
    if (rc != CURLE_OK || d.Html || d.WriteFailed) return false;
    return d.Flush() && d.Open() && std::fflush(d.File.get()) == 0;
}

} // namespace kiv
