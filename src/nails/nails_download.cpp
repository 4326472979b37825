#include "nails/nails_download.h"

#include "nails/nails_index.h"
#include "net/address.h"
#include "net/curl_handle.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>

namespace kiv {

std::string NailsFolderOf(std::string_view address) {
    const size_t slash = address.rfind('/');
    return slash == std::string_view::npos ? std::string()
                                           : std::string(address.substr(0, slash + 1));
}

bool SafeNailFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string NailUrlSegment(std::string_view name) {
    static constexpr char kKept[] = "-._~!$&'()*+,;=:@";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            (u != 0 && std::strchr(kKept, u))) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

TDownload::TDownload(TWindowTarget& target, std::string baseAddress, std::string cacheFolder,
                     intptr_t tag)
    : FTarget(target), FBaseAddress(std::move(baseAddress)), FCacheFolder(std::move(cacheFolder)),
      FTag(tag) {}

TDownload::~TDownload() {
    FCancel.Cancel();
    WaitFor();
}

void TDownload::Execute() {
    if (FBaseAddress.empty()) return;
    if (!curl::Api()) {
        DebugLog("InternetOpen error: " + std::to_string(errno));
        return;
    }
    const std::string folder = FCacheFolder + kNailsFolderName;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec); // a failure shows as failed pictures
    const std::string indexPath = FCacheFolder + kNailsIndexName;
    if (!DownloadToFile(FBaseAddress + kNailsIndexName, indexPath, &FCancel)) return;
    try {
        const TNailsIndex index = TNailsIndex::LoadFromFile(indexPath);
        for (uint64_t i = 0; i < index.Count() && !FCancel.Cancelled(); ++i) {
            const std::string_view name = index.FileName(i);
            if (name.empty()) break;
            if (!SafeNailFileName(name)) continue;
            if (DownloadToFile(FBaseAddress + kNailsFolderName + "/" + NailUrlSegment(name),
                               folder + "/" + std::string(name), &FCancel))
                ++FDownloaded;
        }
    } catch (const std::exception& e) {
        DebugLog(std::string("TDownload.Execute raise:") + e.what());
    }
    if (FDownloaded > 0 && !FCancel.Cancelled()) FTarget.Post(WM_NAILSDOWNLOADED, 0, FTag);
}

} // namespace kiv
