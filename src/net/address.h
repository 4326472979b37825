// Source addresses and the small helpers every source shares.
#pragma once

#include "format/source_result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The text of a failure code 1..9; empty for anything else.
std::string_view SourceResultText(int code);
// "<text>:<address>", the message a failed open is reported with.
std::string SourceFailureMessage(int code, std::string_view address);

std::string NormalizeAddress(std::string_view address);
bool IsNetworkAddress(std::string_view address);

// Copies the body of url into path (replaced). False on any failure, including
// an error status or an HTML page where a file was expected; a partial file stays.
bool DownloadToFile(const std::string& url, const std::string& path);
class TDownloadCancel;
// The same, failing at once when cancel (which may be null) is cancelled.
bool DownloadToFile(const std::string& url, const std::string& path, TDownloadCancel* cancel);

} // namespace kiv
