#include "net/curl_handle.h"

#include "platform/debug_log.h"

#include <dlfcn.h>

#include <string>

namespace kiv::curl {

namespace {

template <class F> bool Bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const TApi* Load() {
    static TApi api{};
    // Never closed: handles may live until the process ends.
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        DebugLog(std::string("libcurl could not be loaded: ") + (why ? why : "unknown"));
        return nullptr;
    }
    const bool bound = Bind(library, "curl_global_init", api.GlobalInit) &&
                       Bind(library, "curl_easy_init", api.EasyInit) &&
                       Bind(library, "curl_easy_cleanup", api.EasyCleanup) &&
                       Bind(library, "curl_easy_setopt", api.EasySetopt) &&
                       Bind(library, "curl_easy_perform", api.EasyPerform) &&
                       Bind(library, "curl_easy_getinfo", api.EasyGetinfo) &&
                       Bind(library, "curl_slist_append", api.SlistAppend) &&
                       Bind(library, "curl_slist_free_all", api.SlistFreeAll);
    if (!bound || api.GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        DebugLog("libcurl could not be loaded: missing entry points or set-up failed");
        return nullptr;
    }
    return &api;
}

} // namespace

const TApi* Api() {
    static const TApi* const api = Load();
    return api;
}

} // namespace kiv::curl
