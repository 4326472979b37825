// The description file, the INI reader under it, and the choice of interfaces.
#include "multicast/cast_util.h"
#include "platform/ini_file.h"
#include "platform/interfaces.h"
#include "platform/udp_socket.h"

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

TEST(IniFile, NamesMatchInAnyCaseAndTheFirstWins) {
    const TIniFile ini = TIniFile::FromText("\xEF\xBB\xBF; a comment\r\n"
                                            "orphan=1\r\n"
                                            "[Other]\r\n"
                                            "ip=10.0.0.1\r\n"
                                            "  [ ADDRESS ]  \r\n"
                                            "  IP =  238.1.2.3  \r\n"
                                            "ip=238.9.9.9\r\n"
                                            "# another comment\n"
                                            "Port=\"7000\"\n"
                                            "novalue\n"
                                            "[address]\n"
                                            "extra=x\n");
    EXPECT_EQ(ini.ReadString("Address", "ip", "-"), "238.1.2.3");
    EXPECT_EQ(ini.ReadString("address", "PORT", "-"), "7000");
    EXPECT_EQ(ini.ReadInteger("Address", "port", 0), 7000);
    // Only the first section of a name is looked at.
    EXPECT_EQ(ini.ReadString("Address", "extra", "-"), "-");
    EXPECT_EQ(ini.ReadString("Address", "novalue", "-"), "-");
    EXPECT_EQ(ini.ReadString("", "orphan", "-"), "-");
    EXPECT_EQ(ini.ReadString("Other", "ip", "-"), "10.0.0.1");
    EXPECT_TRUE(ini.HasSection("other"));
    EXPECT_FALSE(ini.HasSection("Missing"));
}

TEST(IniFile, IntegersAreDecimalOrHexadecimal) {
    struct TCase {
        const char* Text;
        bool Ok;
        int32_t Value;
    } cases[] = {{"6000", true, 6000},
                 {" -12 ", true, -12},
                 {"+5", true, 5},
                 {"0x1770", true, 6000},
                 {"$1770", true, 6000},
                 {"0xFFFFFFFF", true, -1},
                 {"2147483647", true, INT32_MAX},
                 {"-2147483648", true, INT32_MIN},
                 {"2147483648", false, 0},
                 {"0x100000000", false, 0},
                 {"", false, 0},
                 {"60 00", false, 0},
                 {"6000abc", false, 0},
                 {"0x", false, 0},
                 {"-", false, 0}};
    for (const auto& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(ParseIniInteger(c.Text, v), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(v, c.Value) << c.Text;
        }
    }
    EXPECT_EQ(TIniFile::FromText("[a]\nk=junk\n").ReadInteger("A", "K", 42), 42);
}

TEST(IniFile, AnUnreadableOrHugeFileReadsAsEmpty) {
    TScratchDir dir;
    EXPECT_EQ(TIniFile::Load(dir.File("missing.sms")).ReadString("Address", "ip", "-"), "-");
    const std::string big = dir.File("big.sms");
    WriteText(big, SmsText("238.0.0.1", 6000) + std::string(TIniFile::kMaxFileSize, ';'));
    EXPECT_EQ(TIniFile::Load(big).ReadString("Address", "ip", "-"), "-");
}

TEST(DescriptionFile, UsableOnlyWithAGroupAndAPort) {
    TScratchDir dir;
    const std::string path = dir.File("cast.sms");
    struct TCase {
        std::string Text;
        bool Usable;
    } cases[] = {
        {SmsText("238.0.0.1", 6000), true},     {"[address]\nIP=238.0.0.1\nPORT=0x1770\n", true},
        {"[Address]\nip=238.0.0.1\n", false},   {SmsText("238.0.0.1", 0), false},
        {"[Address]\nip=\nport=6000\n", false}, {"[Address]\nport=6000\n", false},
        {"ip=238.0.0.1\nport=6000\n", false},   {SmsText("238.0.0.1", 65536), false},
        {SmsText("238.0.0.1", -1), false},      {"", false},
    };
    for (const auto& c : cases) {
        WriteText(path, c.Text);
        EXPECT_EQ(ReadMulticastFile(path).Usable(), c.Usable) << c.Text;
    }
    WriteText(path, SmsText("238.5.6.7", 6123));
    const TMulticastAddress a = ReadMulticastFile(path);
    EXPECT_EQ(a.Group, "238.5.6.7");
    EXPECT_EQ(a.Port, 6123);
}

TEST(DescriptionFile, TheGroupIsAMulticastAddressAndNothingMore) {
    TScratchDir dir;
    const std::string path = dir.File("cast.sms");
    struct TCase {
        std::string Group;
        bool Multicast;
    } cases[] = {
        {"238.0.0.1", true},    {"239.255.255.255", true},
        {"10.0.0.1", false},    {std::string("238.0.0.1\0junk", 14), false},
        {"238.0.0.1 x", false}, {"238.0.0", false},
        {"238.0.0.256", false},
    };
    for (const auto& c : cases) {
        WriteText(path, SmsText(c.Group, 6000));
        EXPECT_EQ(IsMulticastGroup(ReadMulticastFile(path).Group), c.Multicast) << c.Group;
    }
}

TEST(Interfaces, OneUsableAddressPerInterfaceAndAtMostFour) {
    const std::vector<TInterfaceAddress> table = {
        {1, "127.0.0.1"},   {2, "0.0.0.0"},  {3, "192.168.1.5"},
        {3, "192.168.1.6"}, {4, "10.0.0.2"}, {5, "127.0.0.1"},
        {6, "172.16.0.1"},  {7, "10.1.0.1"}, {8, "10.2.0.1"},
    };
    EXPECT_EQ(SelectInterfaces(table, 4),
              (std::vector<std::string>{"192.168.1.5", "10.0.0.2", "172.16.0.1", "10.1.0.1"}));
    EXPECT_EQ(SelectInterfaces(table, 1), (std::vector<std::string>{"192.168.1.5"}));
    EXPECT_TRUE(SelectInterfaces({{1, "127.0.0.1"}}, 4).empty());
}

TEST(Interfaces, TheSystemTableHasIndexedDottedAddresses) {
    for (const auto& row : ReadInterfaceTable()) {
        EXPECT_GT(row.Index, 0u);
        in_addr a{};
        EXPECT_TRUE(ParseIPv4(row.Address, a)) << row.Address;
    }
}

} // namespace
} // namespace kiv::test
