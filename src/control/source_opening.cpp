#include "control/source_opening.h"

namespace kiv {

TReadingSource StartReadingThread(const std::string& url, TPlayContext& context,
                                  const std::string& cacheFolder) {
    TReadingSource source = NewReadingThread(url, &context, cacheFolder);
    source.Thread->Start();
    context.FillThread = source.Thread.get();
    return source;
}

} // namespace kiv
