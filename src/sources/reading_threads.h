// Which reading thread reads an address, as the control chooses it.
#pragma once

#include "sources/fill_thread.h"

#include <memory>
#include <string>

namespace kiv {

struct TReadingSource {
    std::unique_ptr<TFillThread> Thread; // created, not started
    std::string Name;                    // what to hand to its Open
};

// "KIVS..." a live server; a ".sms" description (fetched into the cache folder
// first when it is on a web server) a multicast cast; anything else a file or a
// web recording. Raises EKivError with the control's failure texts.
TReadingSource NewReadingThread(const std::string& address, TPlayContext* context,
                                const std::string& cacheFolder);

} // namespace kiv
