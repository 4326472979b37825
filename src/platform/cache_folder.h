// The control's cache folder: <tmp>/KivPlayer/ with a nails/ folder inside.
#pragma once

#include <string>

namespace kiv {

// $TMPDIR (or /tmp/) + "KivPlayer/", ending in "/". Creates it and its "nails"
// folder; failure is told through `error` and the name is still returned.
std::string MakeCacheFolder(std::string* error = nullptr);

} // namespace kiv
