// Which failed opens the control tries again, and how it spaces the tries: the
// native core and the page's element both follow these.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

// A server that could not be reached or went away may come back; a damaged
// answer from the network may be a transfer cut short.
bool RetriesOpen(int code, std::string_view address);
// The wait before the next try in ms, from the last one (0 before the first):
// unlimited tries, but spaced out so that a refused server sees no storm.
uint32_t NextRetryDelay(uint32_t previous);

} // namespace kiv
