#include "sources/reading_threads.h"

#include "net/address.h"
#include "platform/error.h"
#include "sources/kiv_stream.h"
#include "sources/multicast_stream.h"

#include <cctype>

namespace kiv {
namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TReadingSource NewReadingThread(const std::string& address, TPlayContext* context,
                                const std::string& cacheFolder) {
    const std::string prefix = Upper(address.substr(0, 4));
    const size_t dot = address.find_last_of('.');
    const std::string ext = dot == std::string::npos ? "" : Upper(address.substr(dot));
    TReadingSource source{nullptr, address};
    if (prefix == "KIVS") {
        source.Thread = std::make_unique<TKivStream>(context);
    } else if (ext == ".SMS") {
        if (prefix == "HTTP") {
            source.Name = cacheFolder + "Corvale.sms";
            if (!DownloadToFile(address, source.Name))
                throw EKivError("Fail to download file: " + address);
        }
        source.Thread = std::make_unique<TKivMulticastStream>(context);
    } else {
        source.Thread = std::make_unique<TFillThread>(context);
    }
    return source;
}

} // namespace kiv
