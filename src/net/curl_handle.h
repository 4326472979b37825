// RAII for libcurl handles, and the library's one-time set-up.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace kiv {

struct TCurlDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using TCurlHandle = std::unique_ptr<CURL, TCurlDeleter>;

struct TCurlSlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using TCurlSlist = std::unique_ptr<curl_slist, TCurlSlistDeleter>;

// curl_global_init, once per process, before the first handle.
void EnsureCurl();
// A fresh easy handle with the settings every request here shares.
TCurlHandle NewCurlHandle();

} // namespace kiv
