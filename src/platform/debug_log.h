// The debugger output channel: one line per call to a process-wide sink.
#pragma once

#include <functional>
#include <string_view>

namespace kiv {

using TDebugSink = std::function<void(std::string_view line)>;

// Writes the line unchanged.
void DebugOutput(std::string_view line);
// Writes "KivPlayer.ocx ->" followed directly by the text.
void DebugLog(std::string_view text);
// Replaces the sink; an empty function silences the log. Returns the previous sink.
TDebugSink SetDebugSink(TDebugSink sink);

} // namespace kiv
