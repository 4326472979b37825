#include "platform/byte_reader.h"
#include "platform/byte_stream.h"
#include "platform/debug_log.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace kiv;

TEST(DebugLog, PrefixesTheTextWithoutASpaceAndOutputKeepsLinesUnchanged) {
    std::vector<std::string> lines;
    auto previous = SetDebugSink([&](std::string_view l) { lines.emplace_back(l); });
    DebugLog("TFillThread.HandleOpen: 没有索引信息");
    DebugOutput("PostThreadMessage(WM_OPEN) Error:5, ThreadID=7");
    SetDebugSink({});
    DebugLog("silenced");
    SetDebugSink(previous);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "KivPlayer.ocx ->TFillThread.HandleOpen: 没有索引信息");
    EXPECT_EQ(lines[1], "PostThreadMessage(WM_OPEN) Error:5, ThreadID=7");
}

TEST(Assert, RaisesAnErrorNamingUnitAndLine) {
    const int line = __LINE__ + 2;
    try {
        KIV_ASSERT(1 + 1 == 3, "KivPlayer/UnitBackBuffer");
        FAIL() << "no error raised";
    } catch (const EKivError& e) {
        std::string text = e.what();
        EXPECT_NE(text.find("Assertion failure"), std::string::npos) << text;
        EXPECT_NE(text.find("KivPlayer/UnitBackBuffer"), std::string::npos) << text;
        EXPECT_NE(text.find("line " + std::to_string(line)), std::string::npos) << text;
    }
    EXPECT_NO_THROW(KIV_ASSERT(true, "x"));
}

TEST(ByteReader, NeverReadsPastTheEnd) {
    const uint8_t bytes[] = {0x4B, 0x51, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF};
    TByteReader r(bytes, sizeof bytes);
    uint16_t a;
    uint32_t b;
    ASSERT_TRUE(r.Skip(2));
    ASSERT_TRUE(r.U16(a));
    ASSERT_TRUE(r.U32(b));
    EXPECT_EQ(a, 0x1234);
    EXPECT_EQ(b, 0x12345678u);
    EXPECT_FALSE(r.U32(b)) << "one byte left";
    EXPECT_EQ(r.Remaining(), 1u) << "a failed read consumes nothing";
    EXPECT_EQ(r.Span(2), nullptr);
    EXPECT_FALSE(r.Skip(SIZE_MAX));
    EXPECT_FALSE(r.Seek(10));
}

TEST(FileStream, ReadsSeeksAndRefusesWhatItCannotOpen) {
    EXPECT_THROW(TFileStream("/nonexistent/kiv/file"), EKivError);
    EXPECT_THROW(TFileStream("/tmp"), EKivError) << "a folder is not a recording";
    std::string path = testing::TempDir() + "kiv_stream_test.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << "0123456789";
    }
    TFileStream s(path);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(s.Seek(3, soCurrent), 7);
    EXPECT_EQ(s.Read(buf, 8), 3) << "a short read at the end";
    EXPECT_EQ(s.Read(buf, 8), 0);
    EXPECT_EQ(s.Seek(1, soBeginning), 1);
    EXPECT_EQ(s.Position(), 1);
    std::remove(path.c_str());
}

TEST(MemoryStream, DeliversInPiecesWhenAsked) {
    TMemoryStream s({1, 2, 3, 4, 5}, 2);
    uint8_t buf[5];
    EXPECT_EQ(s.Read(buf, 5), 2);
    EXPECT_EQ(s.Read(buf, 5), 2);
    EXPECT_EQ(s.Read(buf, 5), 1);
    EXPECT_EQ(s.Read(buf, 5), 0);
}
