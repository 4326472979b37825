#include "platform/cache_folder.h"

#include <cstdlib>
#include <filesystem>

namespace kiv {

std::string MakeCacheFolder(std::string* error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp/";
    if (base.back() != '/') base += '/';
    std::string folder = base + "KivPlayer";
    std::error_code ec;
    std::filesystem::create_directories(folder + "/nails", ec);
    if (ec && error) *error = "Fail to create directory: " + folder;
    return folder + "/";
}

} // namespace kiv
