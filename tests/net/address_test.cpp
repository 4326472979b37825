#include "net/address.h"
#include "support/http_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kiv;
using kiv::test::THttpRequest;
using kiv::test::THttpResponse;
using kiv::test::THttpServer;

TEST(Address, NetworkAddressesAreTheFourLetterPrefixes) {
    for (const char* yes : {"http://x", "HTTPS://x", "ftp://x", "kivs://x", "KIVS://h/ch"})
        EXPECT_TRUE(IsNetworkAddress(yes)) << yes;
    for (const char* no : {"C:\\x", "\\\\srv\\share", "ftpx", "htt", "", "/tmp/a.kiv"})
        EXPECT_FALSE(IsNetworkAddress(no)) << no;
}

TEST(Address, NormalizeKeepsWindowsResultsAndMapsPosixFileAddresses) {
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"file:///C:/Rec/a%20b", "C:\\Rec\\a b"},
        {"file://C:/Rec/x", "C:\\Rec\\x"},
        {"file://srv/share/x", "\\\\srv\\share\\x"},
        {"FILE://\\\\srv\\x", "\\\\srv\\x"},
        {"http://h/a%7Bb%7D", "http://h/a{b}"},
        {"http://h/a%7bb", "http://h/a%7bb"},
        {"/home/u/rec.kiv", "/home/u/rec.kiv"},
        {"file:///home/u/my%20rec.kiv", "/home/u/my rec.kiv"},
        {"FILE:///tmp/a/b.kiv", "/tmp/a/b.kiv"},
    };
    for (auto c : cases)
        EXPECT_EQ(NormalizeAddress(c.in), c.out) << c.in;
}

TEST(Address, ResultTexts) {
    EXPECT_EQ(SourceResultText(1), "Can not open the file");
    EXPECT_EQ(SourceResultText(9), "Unavailable muliticast file");
    EXPECT_EQ(SourceResultText(0), "");
    EXPECT_EQ(SourceResultText(10), "");
    EXPECT_EQ(SourceFailureMessage(5, "/data/a.kiv"), "File damaged:/data/a.kiv");
}

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(Download, CopiesTheBodyAndRefusesHtmlPagesAndErrors) {
    std::string big(5000, 'z');
    big[3000] = '\0';
    std::string doctypeLate(4096, 'a');
    doctypeLate.replace(2048 + 10, 9, "<!DOCTYPE");
    THttpServer server([&](const THttpRequest& r) {
        THttpResponse res;
        if (r.Target == "/nails.xml")
            res.Body = big;
        else if (r.Target == "/page")
            res.Body = "<html><!DOCTYPE html>";
        else if (r.Target == "/late")
            res.Body = doctypeLate;
        else if (r.Target == "/empty")
            res.Body = "";
        else {
            res.Status = 404;
            res.Body = "not found";
        }
        EXPECT_EQ(r.Headers.count("cache-control") ? r.Headers.at("cache-control") : "",
                  "no-cache");
        return res;
    });
    std::string path = testing::TempDir() + "kiv_download.bin";
    {
        std::ofstream old(path);
        old << "previous content that is longer than nothing";
    }
    ASSERT_TRUE(DownloadToFile(server.Url("/nails.xml"), path));
    EXPECT_EQ(ReadFile(path), big);
    ASSERT_TRUE(DownloadToFile(server.Url("/empty"), path));
    EXPECT_EQ(ReadFile(path), "") << "the old file is replaced";
    EXPECT_FALSE(DownloadToFile(server.Url("/page"), path));
    EXPECT_FALSE(DownloadToFile(server.Url("/late"), path));
    EXPECT_EQ(ReadFile(path).size(), 2048u) << "blocks before the page stay written";
    EXPECT_FALSE(DownloadToFile(server.Url("/missing"), path));
    EXPECT_FALSE(DownloadToFile("http://127.0.0.1:1/x", path)) << "nothing listens on port 1";
}
