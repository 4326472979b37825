// Arbitrary bytes as a multicast description file (".sms"), read from a file as the
// multicast source reads it and from memory as text. Both must give the same group
// and port, names must match in any letter case, and a group the receiver accepts
// must be a dotted address spelled exactly as it parses.
#include "platform/ini_file.h"
#include "platform/udp_socket.h"
#include "sources/multicast_description.h"

#include <arpa/inet.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace kiv;

// One file in memory, rewritten for every input and opened by its descriptor's
// name; nothing is left behind, not even by a run that crashes.
class TScratchFile {
public:
    TScratchFile() : FFd(::memfd_create("fuzz_description", MFD_CLOEXEC)) {
        if (FFd < 0) std::abort();
        FPath = "/proc/self/fd/" + std::to_string(FFd);
    }
    ~TScratchFile() { ::close(FFd); }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    const std::string& Write(const uint8_t* data, size_t size) const {
        if (::ftruncate(FFd, 0) != 0 || ::pwrite(FFd, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
        return FPath;
    }

private:
    int FFd;
    std::string FPath;
};

void Same(const TMulticastAddress& a, const TMulticastAddress& b) {
    if (a.Group != b.Group || a.Port != b.Port) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TScratchFile file;
    // A larger file reads as empty, as the reader's own limit says.
    if (size > TIniFile::kMaxFileSize) return 0;
    const TIniFile ini = TIniFile::FromText({reinterpret_cast<const char*>(data), size});
    const TMulticastAddress a = MulticastAddressOf(ini);
    Same(ReadMulticastFile(file.Write(data, size)), a);

    Same({ini.ReadString("ADDRESS", "IP", ""), ini.ReadInteger("aDdReSs", "PoRt", 0)}, a);
    if (!ini.HasSection("address") && (!a.Group.empty() || a.Port != 0)) __builtin_trap();
    // A value never runs past the end of its line.
    if (a.Group.find('\n') != std::string::npos) __builtin_trap();

    in_addr group{};
    if (ParseIPv4(a.Group, group)) {
        char spelled[INET_ADDRSTRLEN];
        if (!::inet_ntop(AF_INET, &group, spelled, sizeof spelled) || a.Group != spelled)
            __builtin_trap();
    }
    return 0;
}
