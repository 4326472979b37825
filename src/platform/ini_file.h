// INI text as description files use it: "[Section]" lines and "key=value" lines.
// Section and key names match in any letter case; the first section of a name
// and the first key in it win, as the system's profile reader does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class TIniFile {
public:
    // Larger files are not description files; they read as empty.
    static constexpr uint64_t kMaxFileSize = 1 << 20;

    // An unreadable file reads as empty, so every lookup gives its default.
    static TIniFile Load(const std::string& path);
    static TIniFile FromText(std::string_view text);

    // The value with surrounding blanks and one pair of enclosing quotes removed.
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;
    // Decimal, or hexadecimal after "0x" or "$"; anything else (or a value outside
    // 32 bits) gives the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool HasSection(std::string_view section) const;

private:
    struct TKey {
        std::string Name;
        std::string Value;
    };
    struct TSection {
        std::string Name;
        std::vector<TKey> Keys;
    };

    void Parse(std::string_view text);
    const TSection* FindSection(std::string_view name) const;

    std::vector<TSection> FSections;
};

// Parses an integer the way ReadInteger does; false when the text is not one.
bool ParseIniInteger(std::string_view text, int32_t& value);

} // namespace kiv
