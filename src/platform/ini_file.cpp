#include "platform/ini_file.h"

#include <cstdio>
#include <limits>
#include <memory>

namespace kiv {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

bool ParseIniInteger(std::string_view text, int32_t& value) {
    std::string_view s = Trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && Lower(s[1]) == 'x') {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 1 && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    // Hexadecimal may spell a negative number by its bits, as 32-bit readers allow.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t v = 0;
    for (char c : s) {
        const int d = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > limit) return false;
    }
    int64_t signedValue =
        base == 16 ? static_cast<int64_t>(static_cast<int32_t>(v)) : static_cast<int64_t>(v);
    if (negative) signedValue = -signedValue;
    if (signedValue < std::numeric_limits<int32_t>::min() ||
        signedValue > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(signedValue);
    return true;
}

TIniFile TIniFile::Load(const std::string& path) {
    TIniFile ini;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return ini;
    std::string text;
    char chunk[4096];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, f.get());
        if (got == 0) break;
        if (text.size() + got > kMaxFileSize) return ini;
        text.append(chunk, got);
    }
    ini.Parse(text);
    return ini;
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.Parse(text);
    return ini;
}

void TIniFile::Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    TSection* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            line.remove_prefix(1);
            const size_t close = line.find(']');
            FSections.push_back({std::string(Trim(line.substr(0, close))), {}});
            current = &FSections.back();
            continue;
        }
        const size_t eq = line.find('=');
        // Lines before the first section, and lines without "=", hold nothing to look up.
        if (!current || eq == std::string_view::npos) continue;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->Keys.push_back({std::string(Trim(line.substr(0, eq))), std::string(value)});
    }
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const {
    for (const auto& s : FSections)
        if (SameName(s.Name, name)) return &s;
    return nullptr;
}

bool TIniFile::HasSection(std::string_view section) const {
    return FindSection(section);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
    if (const TSection* s = FindSection(section))
        for (const auto& k : s->Keys)
            if (SameName(k.Name, key)) return k.Value;
    return defaultValue;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    int32_t value = 0;
    return ParseIniInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

} // namespace kiv
