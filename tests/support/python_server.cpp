#include "support/python_server.h"

namespace kiv::test {

std::string TPythonServer::Binary() {
    return FindProgram({"/usr/bin/python3", "python3"});
}

TPythonServer::TPythonServer(const std::string& root) {
    const std::string python = Binary();
    if (python.empty()) {
        FError = kMissing;
        return;
    }
    for (int attempt = 0; attempt < 5 && !Running(); ++attempt) {
        FPort = FreeLoopbackPort();
        FProcess.Start({python, "-m", "http.server", "--bind", "127.0.0.1", "--directory", root,
                        std::to_string(FPort)},
                       FPort, FDir.File("output.log"));
    }
    if (!Running()) FError = "python3 -m http.server did not start (see " + FDir.Path() + ")";
}

} // namespace kiv::test
