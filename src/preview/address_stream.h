// Streams of the preview reader's own for a recording's address and the files
// beside it.
#pragma once

#include "platform/byte_stream.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

// A web address gets HTTP ranges, anything else is a local path (file:/// forms
// made plain). Reads give up soon once abort is set. Raises EKivError when the
// address cannot be opened.
std::unique_ptr<TByteStream> OpenAddressStream(const std::string& address,
                                               const std::atomic<bool>* abort);
// The whole file at address; empty when it is missing, unreadable or larger
// than limit bytes.
std::vector<uint8_t> ReadWholeAddress(const std::string& address, uint32_t limit,
                                      const std::atomic<bool>* abort);
bool IsWebAddress(const std::string& address);

} // namespace kiv
