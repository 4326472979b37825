// libcurl, loaded on the first web request rather than at start-up: it brings the TLS
// libraries with it, about 6 MB resident that a player of local files never needs.
// RAII for its handles.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <type_traits>

namespace kiv {

namespace curl {

// The entry points of the loaded library.
struct TApi {
    CURLcode (*GlobalInit)(long flags);
    CURL* (*EasyInit)();
    void (*EasyCleanup)(CURL* handle);
    CURLcode (*EasySetopt)(CURL* handle, CURLoption option, ...);
    CURLcode (*EasyPerform)(CURL* handle);
    CURLcode (*EasyGetinfo)(CURL* handle, CURLINFO info, ...);
    curl_slist* (*SlistAppend)(curl_slist* list, const char* text);
    void (*SlistFreeAll)(curl_slist* list);
};

// Loads libcurl and runs its global set-up, once per process; null when the library
// cannot be loaded (the reason goes to the debug log).
const TApi* Api();

// Only for handles from NewCurlHandle: the library is loaded then.
template <class T> CURLcode SetOpt(CURL* handle, CURLoption option, T value) {
    return Api()->EasySetopt(handle, option, value);
}
template <class T> CURLcode GetInfo(CURL* handle, CURLINFO info, T* value) {
    return Api()->EasyGetinfo(handle, info, value);
}
inline CURLcode Perform(CURL* handle) {
    return Api()->EasyPerform(handle);
}
inline curl_slist* SlistAppend(curl_slist* list, const char* text) {
    return Api()->SlistAppend(list, text);
}

} // namespace curl

struct TCurlDeleter {
    void operator()(CURL* h) const { curl::Api()->EasyCleanup(h); }
};
using TCurlHandle = std::unique_ptr<CURL, TCurlDeleter>;

struct TCurlSlistDeleter {
    void operator()(curl_slist* l) const { curl::Api()->SlistFreeAll(l); }
};
using TCurlSlist = std::unique_ptr<curl_slist, TCurlSlistDeleter>;

// A fresh easy handle with the settings every request here shares; null when libcurl
// cannot be loaded.
TCurlHandle NewCurlHandle();

} // namespace kiv
