#include "preview/address_stream.h"

#include "net/address.h"
#include "net/internet_stream.h"
#include "platform/error.h"

#include <strings.h>

namespace kiv {

bool IsWebAddress(const std::string& address) {
    return strncasecmp(address.c_str(), "http://", 7) == 0 ||
           strncasecmp(address.c_str(), "https://", 8) == 0;
}

std::unique_ptr<TByteStream> OpenAddressStream(const std::string& address,
                                               const std::atomic<bool>* abort) {
    if (IsWebAddress(address)) {
        auto stream = std::make_unique<TInternetStream>(address);
        stream->SetAbortFlag(abort);
        return stream;
    }
    return std::make_unique<TFileStream>(NormalizeAddress(address));
}

std::vector<uint8_t> ReadWholeAddress(const std::string& address, uint32_t limit,
                                      const std::atomic<bool>* abort) {
    try {
        auto stream = OpenAddressStream(address, abort);
        // One byte past the limit tells a file that is too large.
        std::vector<uint8_t> bytes(static_cast<size_t>(limit) + 1);
        const auto count = static_cast<int32_t>(std::min<uint64_t>(bytes.size(), INT32_MAX));
        // One range request answers the whole file; a file may need several reads.
        const int32_t got = IsWebAddress(address) ? stream->Read(bytes.data(), count)
                                                  : stream->ReadFull(bytes.data(), count);
        if (got <= 0 || static_cast<uint64_t>(got) > limit) return {};
        bytes.resize(static_cast<size_t>(got));
        return bytes;
    } catch (const EKivError&) {
        return {};
    }
}

} // namespace kiv
