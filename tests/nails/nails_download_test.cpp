#include "nails/nails_download.h"
#include "nails/nails_index.h"
#include "platform/kiv_messages.h"
#include "support/http_server.h"
#include "support/log_capture.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>

using namespace kiv;
using kiv::test::THttpRequest;
using kiv::test::THttpResponse;
using kiv::test::THttpServer;
using kiv::test::TLogCapture;
using kiv::test::TNginx;
using kiv::test::TTempDir;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.insert(e.path().filename().string());
    return names;
}

std::string Picture(const std::string& name) {
    return std::string("\xFF\xD8\xFF\xE0 picture ") + name + std::string(3000, '\x5A');
}

} // namespace

TEST(NailsDownload, IndexAndPicturesIntoTheCache) {
    if (TNginx::Binary().empty()) GTEST_SKIP() << TNginx::kMissing;
    TNginx nginx;
    ASSERT_TRUE(nginx.Running()) << nginx.Error();
    const std::string served = nginx.Root().Path();
    std::filesystem::create_directories(served + "/rec/nails");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "my pic#1.jpg"})
        nginx.Root().Write(std::string("rec/nails/") + name, Picture(name));
    nginx.Root().Write("evil.jpg", Picture("evil"));

    struct TCase {
        const char* Name;
        std::string Index; // empty: none served
        std::set<std::string> Pictures;
        uint32_t Downloads; // a picture named twice is fetched twice
        bool Logged = false;
    } cases[] = {
        {"two pictures, ended by an empty line",
         "1000=a.jpg\r\n61500=b.jpg\r\n\r\n9000=c.jpg\r\n",
         {"a.jpg", "b.jpg"},
         2},
        {"an empty file name ends the list", "1000=a.jpg\r\n5000=\r\n9000=c.jpg\r\n", {"a.jpg"}, 1},
        {"equal times fetch the first line's picture", "1000=c.jpg\n1000=b.jpg\n", {"c.jpg"}, 2},
        {"missing pictures skipped; names kept in the folder",
         "1=gone.jpg\n2=../evil.jpg\n3=..\n4=my pic#1.jpg\n",
         {"my pic#1.jpg"},
         1},
        {"an HTML error page for the index",
         "<!DOCTYPE html>\n<html><body>Not here</body></html>\n",
         {},
         0},
        {"no index", "", {}, 0},
        {"no picture arrives", "1000=gone.jpg\n", {}, 0},
        {"an index past the size limit",
         "1000=a.jpg\n" + std::string(kMaxNailsIndexBytes, '\n'),
         {},
         0,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove(served + "/rec/nails.xml");
        if (!c.Index.empty()) nginx.Root().Write("rec/nails.xml", c.Index);
        TTempDir cache;
        TQueueWindow window;
        TLogCapture log;
        {
            TDownload download(window, nginx.Url("rec/"), cache.Path() + "/", 7);
            download.Start();
            download.WaitFor();
            EXPECT_EQ(download.Downloaded(), c.Downloads);
        }
        EXPECT_EQ(FilesIn(cache.Path() + "/nails"), c.Pictures);
        EXPECT_EQ(log.Count("TDownload.Execute raise:") > 0, c.Logged);
        for (const auto& name : c.Pictures)
            EXPECT_EQ(ReadFile(cache.Path() + "/nails/" + name), Picture(name)) << name;
        TMessage m;
        if (c.Pictures.empty()) {
            EXPECT_FALSE(window.Queue.TryGet(m));
        } else {
            ASSERT_TRUE(window.Queue.TryGet(m));
            EXPECT_EQ(m.Msg, WM_NAILSDOWNLOADED);
            EXPECT_EQ(m.LParam, 7);
            EXPECT_EQ(ReadFile(cache.Path() + "/nails.xml"), c.Index);
        }
    }
}

TEST(NailsDownload, FreedWhileTheServerHoldsARequest) {
    std::mutex lock;
    std::condition_variable changed;
    int asked = 0;
    bool release = false;
    THttpServer server([&](const THttpRequest&) {
        std::unique_lock guard(lock);
        ++asked;
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
        return THttpResponse{200, {}, "1000=a.jpg\r\n"};
    });
    TTempDir cache;
    TQueueWindow window;
    {
        TDownload download(window, server.Url("/rec/"), cache.Path() + "/");
        download.Start();
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return asked > 0; }));
        guard.unlock();
        // The server never answers while the download is freed: only cancelling
        // the transfer lets the destructor return.
    }
    {
        std::lock_guard guard(lock);
        release = true;
        changed.notify_all();
    }
    TMessage m;
    EXPECT_FALSE(window.Queue.TryGet(m));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(FilesIn(cache.Path() + "/nails").empty());
}

TEST(NailsDownload, NamesInTheCacheAndInAddresses) {
    struct TCase {
        const char* Name;
        bool Safe;
        const char* Segment;
    } cases[] = {
        {"a.jpg", true, "a.jpg"},
        {"my pic#1.jpg", true, "my%20pic%231.jpg"},
        {"x?y%z", true, "x%3Fy%25z"},
        {"\xC3\xA9.jpg", true, "%C3%A9.jpg"},
        {"../evil", false, "..%2Fevil"},
        {"a\\b", true, "a%5Cb"},
        {"..", false, ".."},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeNailFileName(c.Name), c.Safe) << c.Name;
        EXPECT_EQ(NailUrlSegment(c.Name), c.Segment) << c.Name;
    }
    struct TFolder {
        const char* Address;
        const char* Folder;
    } folders[] = {
        {"http://h:8080/rec/a.kiv", "http://h:8080/rec/"},
        {"http://h/a.kiv?x=1/2", "http://h/a.kiv?x=1/"},
        {"/data/rec/a.kiv", "/data/rec/"},
        {"a.kiv", ""},
    };
    for (const auto& f : folders)
        EXPECT_EQ(NailsFolderOf(f.Address), f.Folder) << f.Address;
}
