// `python3 -m http.server` on 127.0.0.1: a stock server that ignores Range and
// answers every GET with the whole file and status 200.
#pragma once

#include "support/nginx.h"

#include <string>

namespace kiv::test {

class TPythonServer {
public:
    // Serves root (which must outlive the server); check Running().
    explicit TPythonServer(const std::string& root);

    static std::string Binary();
    static constexpr const char* kMissing = "python3 is not installed";

    bool Running() const { return FProcess.Running(); }
    const std::string& Error() const { return FError; }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + "/" + name;
    }

private:
    TTempDir FDir; // its output
    TServerProcess FProcess;
    int FPort = 0;
    std::string FError;
};

} // namespace kiv::test
