// TDownload: copies a web recording's thumbnail index and pictures into the
// control's cache folder, then asks the control's thread (WM_NAILSDOWNLOADED
// through the window queue) to load the strip from there, only when at least
// one picture arrived.
#pragma once

#include "net/download_cancel.h"
#include "platform/thread.h"
#include "platform/window_target.h"

#include <atomic>
#include <string>

namespace kiv {

class TDownload : public TThread {
public:
    // baseAddress ends with "/" (empty: nothing to do); cacheFolder with its
    // separator. The tag comes back as the notice's lParam, so the control can
    // tell a notice of an earlier download. Start() runs it.
    TDownload(TWindowTarget& target, std::string baseAddress, std::string cacheFolder,
              intptr_t tag = 0);
    // Ends the transfer under way at once and waits for the thread.
    ~TDownload() override;
    // Pictures copied so far.
    uint32_t Downloaded() const { return FDownloaded.load(); }

protected:
    void Execute() override;

private:
    TWindowTarget& FTarget;
    const std::string FBaseAddress;
    const std::string FCacheFolder;
    const intptr_t FTag;
    TDownloadCancel FCancel;
    std::atomic<uint32_t> FDownloaded{0};
};

// Where a recording's thumbnails lie: the address up to and including its last
// "/", empty without one. Serves web addresses and local paths alike.
std::string NailsFolderOf(std::string_view address);

// A file name from the index that may become a file of the cache's "nails"
// folder: no separator, no NUL, not "." or "..".
bool SafeNailFileName(std::string_view name);
// The name as one path segment of a URL: bytes outside the unreserved and
// sub-delimiter characters percent-encoded.
std::string NailUrlSegment(std::string_view name);

} // namespace kiv
