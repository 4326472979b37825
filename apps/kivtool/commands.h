// kivtool's commands; each returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace kivtool {

using TArgs = std::vector<std::string>;

int CmdInfo(const TArgs& args);
int CmdDump(const TArgs& args);
int CmdVerify(const TArgs& args);
int CmdSnapshot(const TArgs& args);
int CmdPlay(const TArgs& args);
int CmdTypelib(const TArgs& args);
int CmdActivity(const TArgs& args);
int CmdMarkers(const TArgs& args);
int CmdSynth(int argc, char** argv);
// Runs kivtool-export, which calls ExportMain, in this process's place.
int CmdExport(const TArgs& args);
int ExportMain(const TArgs& args);

// Exit code for bad arguments.
constexpr int kUsageExit = 2;

} // namespace kivtool
