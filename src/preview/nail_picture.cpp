#include "preview/nail_picture.h"

#include "codec/kivdecoder.h"
#include "format/kiv_format.h"
#include "nails/nail_file.h"
#include "nails/nails_download.h"
#include "nails/nails_index.h"
#include "net/address.h"
#include "platform/byte_order.h"
#include "platform/dib_reader.h"
#include "platform/error.h"
#include "platform/parse.h"
#include "preview/address_stream.h"

#include <algorithm>
#include <memory>
#include <strings.h>

namespace kiv {

namespace {

bool EndsWithNoCase(const std::string& s, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

bool DecodeJpegFile(const std::vector<uint8_t>& bytes, TBitmap24& picture) {
    std::unique_ptr<uint8_t[]> image(new uint8_t[kDecodeBufferSize]);
    int32_t size = 0;
    try {
        size = UnZipBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), ckJpeg, image.get(),
                           kDecodeBufferSize);
    } catch (const EKivError&) {
        return false;
    }
    return size > 0 && static_cast<uint32_t>(size) <= kDecodeBufferSize &&
           DecodeDib(image.get(), static_cast<size_t>(size), picture).Ok();
}

} // namespace

TNailPictures::TNailPictures(const std::string& address, const std::atomic<bool>* abort)
    : FAbort(abort), FWeb(IsWebAddress(address)),
      FFolder(NailsFolderOf(FWeb ? address : NormalizeAddress(address))) {
    std::vector<uint8_t> text;
    if (FWeb) {
        text = ReadWholeAddress(FFolder + kNailsIndexName,
                                static_cast<uint32_t>(kMaxNailsIndexBytes), abort);
    } else {
        // A local folder may hold a FIFO under the index's name.
        try {
            text = ReadRegularFile(FFolder + kNailsIndexName, kMaxNailsIndexBytes);
        } catch (const EKivError&) {
        }
    }
    if (text.empty()) return;
    const TNailsIndex index(std::string(text.begin(), text.end()));
    for (uint64_t i = 0; i < index.Count() && !index.Blank(i); ++i) {
        uint64_t ms = 0;
        if (!ParseDecimal(index.TimeText(i), 0x7FFFFFFF, ms)) break;
        const std::string name(index.FileName(i));
        if (!SafeNailFileName(name)) continue;
        FNails.push_back({static_cast<uint32_t>(ms),
                          FWeb ? FFolder + kNailsFolderName + "/" + NailUrlSegment(name) : name});
    }
    std::stable_sort(FNails.begin(), FNails.end(),
                     [](const TNail& a, const TNail& b) { return a.Time < b.Time; });
}

size_t TNailPictures::NearestAt(uint32_t ms) const {
    const auto after = std::upper_bound(FNails.begin(), FNails.end(), ms,
                                        [](uint32_t t, const TNail& n) { return t < n.Time; });
    return after == FNails.begin() ? 0 : static_cast<size_t>(after - FNails.begin()) - 1;
}

std::vector<uint32_t> TNailPictures::Times() const {
    std::vector<uint32_t> times;
    for (const TNail& n : FNails)
        times.push_back(n.Time);
    return times;
}

bool TNailPictures::Read(size_t i, TBitmap24& picture) const {
    const TNail& nail = FNails[i];
    // A local picture only when it is a regular file inside the folder.
    const std::vector<uint8_t> bytes =
        FWeb ? ReadWholeAddress(nail.Address, kMaxNailFileBytes, FAbort)
             : ReadNailPicture(FFolder, nail.Address, kMaxNailFileBytes).Bytes;
    if (bytes.empty()) return false;
    if (EndsWithNoCase(nail.Address, ".bmp"))
        return DecodeDib(bytes.data(), bytes.size(), picture).Ok();
    return DecodeJpegFile(bytes, picture);
}

} // namespace kiv
