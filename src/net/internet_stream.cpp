#include "net/internet_stream.h"

#include "platform/debug_log.h"
#include "platform/error.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace kiv {
namespace {

// The class library's conversion error, which a non-numeric port raised.
int ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) > 65535)
        throw EKivError("'" + text + "' is not a valid integer value");
    return std::stoi(text);
}

} // namespace

TInternetStream::TInternetStream(const std::string& address) : FObjectName(address) {
    // The scheme decides the default port and TLS.
    size_t skip = 7;
    if (strncasecmp(address.c_str(), "https://", 8) == 0) {
        skip = 8;
        FSecure = true;
        FPort = 443;
    }
    std::string rest = address.size() > skip ? address.substr(skip) : std::string();
    size_t slash = rest.find('/');
    std::string server = slash == std::string::npos ? std::string() : rest.substr(0, slash);
    FObjectName = slash == std::string::npos ? rest : rest.substr(slash + 1);
    size_t colon = server.find(':');
    if (colon != std::string::npos) {
        FPort = ParsePort(server.substr(colon + 1));
        FServerName = server.substr(0, colon);
    } else {
        FServerName = server;
    }
    if (FServerName.empty()) throw EKivError("LastEror:12007");
    FUrl = std::string(FSecure ? "https://" : "http://") + FServerName + ":" +
           std::to_string(FPort) + "/" + FObjectName;
    Connect();
}

void TInternetStream::Connect() {
    if (FHandle) return;
    FHandle = NewCurlHandle();
    if (!FHandle) throw EKivError("InternetOpen Error: libcurl is not available");
    CURL* h = FHandle.get();
    curl::SetOpt(h, CURLOPT_URL, FUrl.c_str());
    curl::SetOpt(h, CURLOPT_WRITEFUNCTION, &TInternetStream::OnBody);
    curl::SetOpt(h, CURLOPT_WRITEDATA, this);
    curl::SetOpt(h, CURLOPT_HEADERFUNCTION, &TInternetStream::OnHeader);
    curl::SetOpt(h, CURLOPT_HEADERDATA, this);
    curl::SetOpt(h, CURLOPT_NOPROGRESS, 0L);
    curl::SetOpt(h, CURLOPT_XFERINFOFUNCTION, &TInternetStream::OnProgress);
    curl::SetOpt(h, CURLOPT_XFERINFODATA, this);
    curl::SetOpt(h, CURLOPT_HTTPHEADER, nullptr);
    curl::SetOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // The platform client followed redirects, asking the new place for the same range.
    curl::SetOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl::SetOpt(h, CURLOPT_MAXREDIRS, 10L);
    curl::SetOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    FClosed = false;
}

size_t TInternetStream::OnHeader(char* data, size_t one, size_t count, void* self) {
    auto* s = static_cast<TInternetStream*>(self);
    size_t size = one * count;
    if (size > 14 && strncasecmp(data, "Content-Range:", 14) == 0) {
        s->FContentRange.assign(data + 14, size - 14);
        while (!s->FContentRange.empty() &&
               std::isspace(static_cast<unsigned char>(s->FContentRange.back())))
            s->FContentRange.pop_back();
    } else if (size > 5 && std::strncmp(data, "HTTP/", 5) == 0)
        s->FContentRange.clear(); // a new response (after a redirect or 100)
    return size;
}

size_t TInternetStream::OnBody(char* data, size_t one, size_t count, void* self) {
    auto* s = static_cast<TInternetStream*>(self);
    size_t size = one * count;
    long status = 0;
    curl::GetInfo(s->FHandle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200 && status != 206) return size; // an error page: read and dropped
    size_t room = static_cast<size_t>(s->FWanted - s->FGot);
    size_t take = std::min(room, size);
    std::memcpy(s->FTarget + s->FGot, data, take);
    s->FGot += static_cast<int32_t>(take);
    if (s->FGot > s->FAttemptSeen) {
        if (s->FProgress) s->FProgress->Add(static_cast<uint64_t>(s->FGot - s->FAttemptSeen));
        s->FAttemptSeen = s->FGot;
    }
    // A server that ignores the range sends the whole resource: stop once full.
    return take == size ? size : 0;
}

int TInternetStream::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TInternetStream*>(self)->Aborted() ? 1 : 0;
}

int32_t TInternetStream::Read(void* buffer, int32_t count) {
    KIV_ASSERT(count > 0, "KivPlayer/UnitKiv");
    try {
        Connect();
        return Request(static_cast<uint8_t*>(buffer), count);
    } catch (const EKivError& e) {
        if (!Aborted()) DebugLog(std::string("TInternetStream.Read raise:") + e.what());
        return 0;
    }
}

int32_t TInternetStream::Request(uint8_t* buffer, int32_t count) {
    CURL* h = FHandle.get();
    char range[64];
    std::snprintf(range, sizeof range, "%" PRId64 "-%" PRId64, FPosition, FPosition + count - 1);
    curl::SetOpt(h, CURLOPT_RANGE, range);
    if (FPosition != FAttemptAt) {
        FAttemptAt = FPosition;
        FAttemptSeen = 0;
    }
    FTarget = buffer;
    FWanted = count;
    FGot = 0;
    FContentRange.clear();
    ++FRequests;
    CURLcode rc = curl::Perform(h);
    long status = 0;
    curl::GetInfo(h, CURLINFO_RESPONSE_CODE, &status);
    FLastStatus = status;
    const bool full = FGot == FWanted;
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && full)) {
        if (status == 0)
            throw EKivError("HttpSendRequest Error : " + std::to_string(static_cast<int>(rc)));
        if (status == 200 || status == 206)
            throw EKivError("InternetReadFile Error :" + std::to_string(static_cast<int>(rc)));
    }
    if (status != 200 && status != 206)
        throw EKivError("Http Request result :" + std::to_string(status));
    // Bytes from anywhere but the position asked for would corrupt the recording.
    if (status == 200 && FPosition != 0)
        throw EKivError("Http Request result :200 (the server ignored the range)");
    if (status == 206) {
        unsigned long long from = 0;
        if (std::sscanf(FContentRange.c_str(), " bytes %llu", &from) != 1 ||
            from != static_cast<unsigned long long>(FPosition))
            throw EKivError("Http Request result :206 (Content-Range:" + FContentRange +
                            " does not start at " + std::to_string(FPosition) + ")");
    }
    FPosition += FGot;
    FAttemptAt = -1; // read again after a seek back, these bytes count again
    return FGot;
}

int64_t TInternetStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (origin == soEnd) throw EKivError("Not Implement");
    FPosition = origin == soBeginning ? offset : FPosition + offset;
    return FPosition;
}

void TInternetStream::Write(const void*, int32_t) {
    throw EKivError("Not Implement");
}

void TInternetStream::Close() {
    FClosed = true;
    FHandle.reset();
}

void TInternetStream::Abort() {
    FClosed = true;
}

} // namespace kiv
