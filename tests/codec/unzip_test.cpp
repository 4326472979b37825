// Raw, LZO1X and zlib payloads, the kind dispatch and the exported surface of the library.
#include "codec/kivdecoder.h"
#include "codec/lzo_block.h"
#include "codec_test_util.h"

#include "platform/byte_order.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <functional>

extern "C" int KivCFormsFromC(const char** failedStep); // c_forms.c

namespace kiv::test {
namespace {

constexpr uint32_t kFullCapacity = 5242880;

const char* const kLzoCorpus[] = {"grammar.lsp", "xargs.1",     "fields.c", "cp.html",
                                  "sum",         "alice29.txt", "ptt5"};
const char* const kZlibCorpus[] = {"romeo.txt", "midsummer.txt", "pi.txt"};

TEST(UnZipBufferTest, EmptySourceReturnsZeroForAnyKindAndLeavesDestination) {
    std::vector<uint8_t> dest(16, 0xAA);
    const uint8_t byte = 1;
    for (int16_t kind : {0, 1, 2, 3, 4, -1, 999}) {
        EXPECT_EQ(UnZipBuffer(nullptr, 10, kind, dest.data(), 16), 0) << kind;
        EXPECT_EQ(UnZipBuffer(&byte, 0, kind, dest.data(), 16), 0) << kind;
    }
    EXPECT_EQ(dest, std::vector<uint8_t>(16, 0xAA));
}

TEST(UnZipBufferTest, UnknownKindIsRefused) {
    const uint8_t payload[] = {1, 2, 3};
    uint8_t dest[16];
    for (int16_t kind : {4, -1, 0x7FFF})
        EXPECT_EQ(ErrorText([&] { UnZipBuffer(payload, 3, kind, dest, sizeof dest); }),
                  "不支持这种图象压缩格式!");
}

TEST(UnZipBufferTest, RawCopiesWithinCapacity) {
    const std::vector<uint8_t> payload = {'B', 'M', 9, 0, 0, 0, 7, 8, 9};
    std::vector<uint8_t> dest(payload.size(), 0);
    EXPECT_EQ(UnZipBuffer(payload.data(), 9, 0, dest.data(), 9), 9);
    EXPECT_EQ(dest, payload);
    std::fill(dest.begin(), dest.end(), 0xAA);
    EXPECT_EQ(ErrorText([&] { UnZipBuffer(payload.data(), 9, 0, dest.data(), 8); }),
              "输出缓冲区太小");
    EXPECT_EQ(dest, std::vector<uint8_t>(9, 0xAA));
}

TEST(CheckKivFileHeaderTest, MagicIsKQ) {
    const uint8_t kq[32] = {'K', 'Q'};
    const uint8_t qk[32] = {'Q', 'K'};
    const uint8_t kqTail[] = {'K', 'Q', 0xFF, 0xFF};
    EXPECT_TRUE(CheckKivFileHeader(kq));
    EXPECT_TRUE(CheckKivFileHeader(kqTail));
    EXPECT_FALSE(CheckKivFileHeader(qk));
}

TEST(LzoTest, CorpusBlocksDecodeExactly) {
    std::vector<uint8_t> dest(kFullCapacity);
    for (const char* name : kLzoCorpus) {
        SCOPED_TRACE(name);
        const auto plain = ReadFileBytes(TestDataPath(std::string("lzo/") + name));
        const auto block = ReadFileBytes(TestDataPath(std::string("lzo/") + name + ".lzo"));
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(block.empty());
        const auto len = static_cast<int32_t>(block.size());
        const auto plainSize = static_cast<uint32_t>(plain.size());

        ASSERT_EQ(Decompress(block.data(), len, dest.data()), static_cast<int32_t>(plainSize));
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), dest.begin()));

        // The output length is tight: exact room decodes, one byte less does not.
        std::vector<uint8_t> exact(plainSize);
        EXPECT_EQ(DecompressBounded(block.data(), len, exact.data(), plainSize),
                  static_cast<int32_t>(plainSize));
        EXPECT_EQ(exact, plain);
        EXPECT_EQ(DecompressBounded(block.data(), len, exact.data(), plainSize - 1), -1);

        // Through the kind dispatch, bounded by the destination capacity.
        EXPECT_EQ(UnZipBuffer(block.data(), block.size(), 2, exact.data(), plainSize),
                  static_cast<int32_t>(plainSize));
        EXPECT_EQ(UnZipBuffer(block.data(), block.size(), 2, exact.data(), plainSize - 1), -1);

        // Cut short, or followed by stray input.
        EXPECT_EQ(Decompress(block.data(), len - 1, dest.data()), -1);
        auto longer = block;
        longer.push_back(0);
        EXPECT_EQ(Decompress(longer.data(), len + 1, dest.data()), -1);
    }
}

TEST(LzoTest, EndMarkerAloneAndMalformedLengths) {
    uint8_t dest[64];
    const uint8_t marker[] = {0x11, 0x00, 0x00, 0x00};
    EXPECT_EQ(Decompress(marker, 3, dest), 0);
    EXPECT_EQ(Decompress(marker, 4, dest), -1);
    EXPECT_EQ(Decompress(marker, 2, dest), -1);
    EXPECT_EQ(Decompress(marker, -1, dest), -1);
    EXPECT_EQ(Decompress(marker, 0, dest), -1);
    EXPECT_EQ(DecompressBounded(marker, 3, dest, 0), 0);
}

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

TEST(ZlibTest, CorpusStreamsInflateExactly) {
    for (const char* name : kZlibCorpus) {
        SCOPED_TRACE(name);
        const auto plain = ReadFileBytes(TestDataPath(std::string("zlib/") + name));
        const auto stream = ReadFileBytes(TestDataPath(std::string("zlib/") + name + ".zlib"));
        ASSERT_GE(plain.size(), 6u);
        ASSERT_FALSE(stream.empty());
        const auto plainSize = static_cast<uint32_t>(plain.size());

        std::vector<uint8_t> dest(plainSize);
        EXPECT_EQ(UnZipBuffer(stream.data(), stream.size(), 3, dest.data(), plainSize),
                  static_cast<int32_t>(LoadLE32(plain.data() + 2)));
        EXPECT_EQ(dest, plain);
        EXPECT_EQ(ErrorText([&] {
                      UnZipBuffer(stream.data(), stream.size(), 3, dest.data(), plainSize - 1);
                  }),
                  "ZLib error: target buffer may be too small");
    }
}

TEST(ZlibTest, ResultIsTheSizeFieldNotTheInflatedCount) {
    std::vector<uint8_t> image(100, 0x5A);
    image[0] = 'B';
    image[1] = 'M';
    StoreLE32(image.data() + 2, 123456);
    const auto stream = ZlibCompress(image);
    std::vector<uint8_t> dest(kFullCapacity);
    EXPECT_EQ(UnZipBuffer(stream.data(), stream.size(), 3, dest.data(), kFullCapacity), 123456);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), dest.begin()));
}

TEST(ZlibTest, DamagedStreamsAndTinyCapacities) {
    std::vector<uint8_t> image(4000);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 / 5);
    const auto stream = ZlibCompress(image);
    std::vector<uint8_t> dest(kFullCapacity);
    const auto decode = [&](const std::vector<uint8_t>& s, uint32_t capacity) {
        return ErrorText([&] { UnZipBuffer(s.data(), s.size(), 3, dest.data(), capacity); });
    };

    auto badHeader = stream;
    badHeader[0] = 0x77; // not deflate
    EXPECT_EQ(decode(badHeader, kFullCapacity), "Error");

    auto badChecksum = stream;
    badChecksum.back() ^= 0xFF;
    EXPECT_EQ(decode(badChecksum, kFullCapacity), "Error");

    // A stream that stops early never reaches its end either.
    const std::vector<uint8_t> cut(stream.begin(), stream.begin() + stream.size() / 2);
    EXPECT_EQ(decode(cut, kFullCapacity), "ZLib error: target buffer may be too small");

    // The size field must fit before anything is inflated.
    EXPECT_EQ(decode(stream, 5), "ZLib error: target buffer may be too small");
    const auto tiny = ZlibCompress({'B', 'M', 6, 0, 0, 0});
    EXPECT_EQ(UnZipBuffer(tiny.data(), tiny.size(), 3, dest.data(), 6), 6);
}

// The C forms answer every failure with a code and the decoder's message, and
// every success with KIV_DECODER_OK and an empty message.
TEST(DecoderCForms, EveryFailureIsACodeAndTheMessage) {
    ASSERT_EQ(InitDecoderC(nullptr, 0), KIV_DECODER_OK);
    const uint8_t bytes[] = {'B', 'M', 9, 0, 0, 0, 7, 8, 9};
    const uint8_t marker[] = {0x11, 0x00, 0x00};
    const std::vector<uint8_t> garbage(24, 0x55);
    std::vector<uint8_t> dest(kFullCapacity);
    constexpr int32_t kUntouched = -7;
    int32_t written = kUntouched;
    bool isKiv = false;
    auto unzip = [&](const uint8_t* src, uint32_t len, int16_t kind, uint32_t capacity) {
        return [=, &dest, &written](char* m, size_t n) {
            return UnZipBufferC(src, len, kind, dest.data(), capacity, &written, m, n);
        };
    };
    const struct {
        const char* Name;
        std::function<int32_t(char*, size_t)> Call;
        int32_t Code;
        std::string Message;
        int32_t Written;
    } cases[] = {
        {"raw", unzip(bytes, 9, 0, 9), KIV_DECODER_OK, "", 9},
        {"damaged JPEG", unzip(bytes, 9, 1, kFullCapacity), KIV_DECODER_FAILED, "JPEG 文件被损坏",
         0},
        {"damaged LZO1X", unzip(garbage.data(), 24, 2, kFullCapacity), KIV_DECODER_FAILED,
         "LZO1X data damaged", 0},
        {"LZO1X end marker",
         [&](char* m, size_t n) { return DecompressC(marker, 3, dest.data(), &written, m, n); },
         KIV_DECODER_OK, "", 0},
        {"LZO1X cut short",
         [&](char* m, size_t n) { return DecompressC(marker, 2, dest.data(), &written, m, n); },
         KIV_DECODER_FAILED, "LZO1X data damaged", 0},
        {"a header", [&](char* m, size_t n) { return CheckKivFileHeaderC(bytes, &isKiv, m, n); },
         KIV_DECODER_OK, "", kUntouched},
        {"no header", [&](char* m, size_t n) { return CheckKivFileHeaderC(nullptr, &isKiv, m, n); },
         KIV_DECODER_FAILED, "no header", kUntouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        written = kUntouched;
        char message[64];
        std::memset(message, 'x', sizeof message);
        EXPECT_EQ(c.Call(message, sizeof message), c.Code);
        EXPECT_EQ(message, c.Message);
        EXPECT_EQ(written, c.Written);
    }
    EXPECT_FALSE(isKiv) << "\"BM\" is not a recording";
    EXPECT_EQ(UninitDecoderC(nullptr, 0), KIV_DECODER_OK);
}

// A message that does not fit is cut, never inside a UTF-8 character, and always ends
// with its NUL inside the buffer.
TEST(DecoderCForms, MessagesAreTruncatedToTheBuffer) {
    const uint8_t bytes[] = {1, 2, 3};
    uint8_t dest[16];
    const struct {
        int16_t Kind;
        size_t Size;
        std::string Message;
    } cases[] = {
        {7, 1, ""},   {7, 3, ""}, {7, 4, "不"}, {7, 7, "不支"}, {7, 64, "不支持这种图象压缩格式!"},
        {3, 3, "Er"}, // zlib's "Error"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        char message[80];
        std::memset(message, 'x', sizeof message);
        EXPECT_EQ(UnZipBufferC(bytes, 3, c.Kind, dest, sizeof dest, nullptr, message, c.Size),
                  KIV_DECODER_FAILED);
        EXPECT_EQ(message, c.Message);
        EXPECT_EQ(message[c.Size], 'x') << "nothing written past the buffer";
    }
    EXPECT_EQ(UnZipBufferC(bytes, 3, 7, dest, sizeof dest, nullptr, nullptr, 0),
              KIV_DECODER_FAILED);
}

TEST(DecoderCForms, CallableFromCCode) {
    const char* failed = "";
    EXPECT_EQ(KivCFormsFromC(&failed), 0) << failed;
}

// The shared library must carry failures across its boundary as kiv::EKivError.
TEST(SharedLibraryTest, ExportsTheFiveFunctionsAndThrowsEKivError) {
    const std::string path = std::string(KIV_BINARY_DIR) + "/src/codec/libkivplayer.so";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "build the kivplayer target: " << path;
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();

    auto init = reinterpret_cast<decltype(&InitDecoder)>(dlsym(lib, "InitDecoder"));
    auto uninit = reinterpret_cast<decltype(&UninitDecoder)>(dlsym(lib, "UninitDecoder"));
    auto unzip = reinterpret_cast<decltype(&UnZipBuffer)>(dlsym(lib, "UnZipBuffer"));
    auto check = reinterpret_cast<decltype(&CheckKivFileHeader)>(dlsym(lib, "CheckKivFileHeader"));
    auto decompress = reinterpret_cast<decltype(&Decompress)>(dlsym(lib, "Decompress"));
    ASSERT_TRUE(init && uninit && unzip && check && decompress);
    for (const char* name :
         {"InitDecoderC", "UninitDecoderC", "UnZipBufferC", "CheckKivFileHeaderC", "DecompressC"})
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    auto unzipC = reinterpret_cast<decltype(&UnZipBufferC)>(dlsym(lib, "UnZipBufferC"));
    ASSERT_NE(unzipC, nullptr);
    // Internals stay hidden.
    EXPECT_EQ(dlsym(lib, "_ZN3kiv17DecompressBoundedEPKhiPhj"), nullptr);

    const uint8_t kq[] = {'K', 'Q'};
    EXPECT_TRUE(check(kq));
    const uint8_t marker[] = {0x11, 0x00, 0x00};
    std::vector<uint8_t> dest(kFullCapacity);
    EXPECT_EQ(decompress(marker, 3, dest.data()), 0);

    EXPECT_EQ(ErrorText([&] { unzip(marker, 3, 9, dest.data(), kFullCapacity); }),
              "不支持这种图象压缩格式!");
    char message[64];
    EXPECT_EQ(unzipC(marker, 3, 9, dest.data(), kFullCapacity, nullptr, message, sizeof message),
              KIV_DECODER_FAILED);
    EXPECT_STREQ(message, "不支持这种图象压缩格式!");
    ASSERT_TRUE(init());
    const uint8_t notJpeg[] = {'B', 'M', 0, 0};
    EXPECT_EQ(ErrorText([&] { unzip(notJpeg, 4, 1, dest.data(), kFullCapacity); }),
              "JPEG 文件被损坏");
    const auto jpeg = MakeJpeg(5, 4, [](uint32_t, uint32_t) { return TRgb{10, 20, 30}; });
    EXPECT_EQ(unzip(jpeg.data(), jpeg.size(), 1, dest.data(), kFullCapacity), 54 + 16 * 4);
    EXPECT_TRUE(uninit());
    dlclose(lib);
}

} // namespace
} // namespace kiv::test
