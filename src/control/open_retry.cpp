#include "control/open_retry.h"

#include "format/source_result.h"
#include "net/address.h"

#include <algorithm>

namespace kiv {
namespace {

constexpr uint32_t kFirstRetryDelay = 1000;
constexpr uint32_t kLongestRetryDelay = 30000;

} // namespace

bool RetriesOpen(int code, std::string_view address) {
    return code == srCannotConnect || code == srDisconnected ||
           (code == srDamaged && IsNetworkAddress(address));
}

uint32_t NextRetryDelay(uint32_t previous) {
    return previous ? std::min(previous * 2, kLongestRetryDelay) : kFirstRetryDelay;
}

} // namespace kiv
