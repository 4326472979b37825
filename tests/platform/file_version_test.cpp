#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kiv {
namespace {

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FileVersion, ReadsTheSectionAndRefusesDamagedFiles) {
    const std::string lib = std::string(KIV_BINARY_DIR) + "/src/ui/libkivplayerctrl.so";
    const std::vector<char> bytes = ReadAll(lib);
    if (bytes.empty()) GTEST_SKIP() << "built without the Qt view";
    const std::string tmp = testing::TempDir() + "file_version_case";
    struct TCase {
        const char* Name;
        std::vector<char> Bytes;
        std::string Want;
    };
    std::vector<char> farTable = bytes;
    farTable[0x2f] = '\x7f'; // e_shoff far beyond the file
    std::vector<char> badNames = bytes;
    badNames[0x3f] = '\x7f'; // e_shstrndx beyond the sections
    const TCase cases[] = {
        {"library", bytes, "4.1.0.885"},
        {"empty", {}, ""},
        {"not ELF", std::vector<char>(4096, 'x'), ""},
        {"header only", std::vector<char>(bytes.begin(), bytes.begin() + 64), ""},
        {"cut in half", std::vector<char>(bytes.begin(), bytes.begin() + bytes.size() / 2), ""},
        {"section table beyond the end", farTable, ""},
        {"names section beyond the table", badNames, ""},
    };
    for (const TCase& c : cases) {
        std::ofstream(tmp, std::ios::binary).write(c.Bytes.data(), std::streamsize(c.Bytes.size()));
        EXPECT_EQ(FileVersionOf(tmp), c.Want) << c.Name;
    }
    std::remove(tmp.c_str());
    EXPECT_EQ(FileVersionOf(tmp), "") << "missing";
    // A module without the section: this test program.
    EXPECT_EQ(FileVersionOfModule(reinterpret_cast<const void*>(&ReadAll)), "");
}

} // namespace
} // namespace kiv
