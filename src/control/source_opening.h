// How an address becomes a running reading thread, shared by the control and
// the record reader so that both open a source the same way.
#pragma once

#include "buffers/play_context.h"
#include "control/source_address.h"
#include "sources/reading_threads.h"

#include <string>

namespace kiv {

// Creates the reading thread for a resolved address on context, starts it and
// makes it context's reading thread. The caller points context at its window and
// hands the returned Name to the thread's Open. Raises EKivError as
// NewReadingThread does.
TReadingSource StartReadingThread(const std::string& url, TPlayContext& context,
                                  const std::string& cacheFolder);

} // namespace kiv
