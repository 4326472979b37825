#include "net/address.h"

#include <array>
#include <cctype>
#include <strings.h>

namespace kiv {
namespace {

constexpr std::array<std::string_view, 9> kResultTexts = {
    "Can not open the file",
    "No index information",
    "Can not connect with the server",
    "Refuse connection",
    "File damaged",
    "Undefined",
    "Connection has been disconnected",
    "Unavailable URL",
    "Unavailable muliticast file",
};

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && strncasecmp(s.data(), prefix.data(), prefix.size()) == 0;
}

} // namespace

std::string_view SourceResultText(int code) {
    return code >= 1 && code <= 9 ? kResultTexts[code - 1] : std::string_view();
}

std::string SourceFailureMessage(int code, std::string_view address) {
    return std::string(SourceResultText(code)) + ":" + std::string(address);
}

std::string NormalizeAddress(std::string_view address) {
    std::string s(address);
    ReplaceAll(s, "%7B", "{");
    ReplaceAll(s, "%7D", "}");
    ReplaceAll(s, "%20", " ");
    if (!StartsWithNoCase(s, "FILE://")) return s;
    if (StartsWithNoCase(s, "FILE:///")) {
        std::string rest = s.substr(8);
        bool drive =
            rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':';
        // A POSIX path keeps its leading slash and its separators.
        if (!drive) return "/" + rest;
        s = rest;
    } else {
        s.erase(0, 7);
        if (s.size() >= 2 && s[1] != ':' && s.compare(0, 2, "\\\\") != 0) s = "\\\\" + s;
    }
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

bool IsNetworkAddress(std::string_view address) {
    return StartsWithNoCase(address, "HTTP") || StartsWithNoCase(address, "FTP:") ||
           StartsWithNoCase(address, "KIVS");
}

} // namespace kiv
