// The thumbnail strip in the control: where its thumbnails come from after an
// open, the highlight while playing, re-flow after a width change.
#include "nails/nails_download.h"
#include "nails/nails_index.h"
#include "platform/kiv_messages.h"
#include "support/http_server.h"
#include "support/kiv_script.h"
#include "support/log_capture.h"
#include "support/nginx.h"
#include "synth/synth.h"
#include "ui/kiv_player_ctrl.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace kiv::ui {
namespace {

using test::App;

// The control with the strip's traffic counted.
class TProbeCtrl : public TKivPlayerCtrl {
public:
    TProbeCtrl(IKivPlayerEvents* sink, TKivPlayerCore::TOptions options, test::TWaiter& waiter)
        : TKivPlayerCtrl(nullptr, sink, std::move(options)), FWaiter(waiter) {
        frmNails()->CurrentChanged = [this](TNail*) { FWaiter.Notify(); };
        frmNails()->NailAdded = [this] { FWaiter.Notify(); };
    }
    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        if (msg == WM_NAILCREATED) {
            std::lock_guard g(FLock);
            ++FCreated;
            FChanged.notify_all();
        }
        if (msg == WM_NAILLAYOUT) {
            const int n = ++Queued;
            int seen = MostQueued.load();
            while (n > seen && !MostQueued.compare_exchange_weak(seen, n)) {
            }
        }
        return TKivPlayerCtrl::Post(msg, wParam, lParam);
    }
    void ThumbnailLayoutStep(int32_t step) override {
        --Queued;
        Steps.push_back(step);
        TKivPlayerCtrl::ThumbnailLayoutStep(step);
        FWaiter.Notify();
    }
    // Blocks until count thumbnails have been posted in all.
    bool WaitCreated(int count) {
        std::unique_lock g(FLock);
        return FChanged.wait_for(g, std::chrono::seconds(20), [&] { return FCreated >= count; });
    }
    std::atomic<int> Queued{0}, MostQueued{0};
    std::vector<int32_t> Steps;

private:
    test::TWaiter& FWaiter;
    std::mutex FLock;
    std::condition_variable FChanged;
    int FCreated = 0; // guarded by FLock
};

class TSkips : public IKivPlayerEvents {
public:
    explicit TSkips(test::TWaiter& w) : FWaiter(w) {}
    void OnSkip(int32_t s) override { Skips.push_back(s); }
    void OnPlayStateChanged(TStatus s) override {
        State = s;
        FWaiter.Notify();
    }
    std::vector<int32_t> Skips;
    TStatus State = vpClosed;

private:
    test::TWaiter& FWaiter;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class NailsCtrlTest : public ::testing::Test {
protected:
    NailsCtrlTest() {
        App();
        Script.Key(0, MakeColor(200, 0, 0)).Key(1000, MakeColor(0, 0, 200)).Marker(3000);
    }
    // A recording at path with count thumbnails spread over its 3 seconds.
    std::string Recording(const std::string& path, uint32_t count) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        Script.Write(path);
        synth::TSynthOptions o;
        o.Width = 300;
        o.Height = 200;
        if (count) synth::WriteSynthNails(path, o, 3000, count);
        return path;
    }
    std::unique_ptr<TProbeCtrl> NewCtrl(bool autoStart = false) {
        TKivPlayerCore::TOptions o;
        o.CacheFolder = Cache.Path() + "/";
        auto c = std::make_unique<TProbeCtrl>(&Sink, std::move(o), Waiter);
        c->Core().SetAutoStart(autoStart);
        c->show();
        return c;
    }
    bool Opened(TProbeCtrl& c, const std::string& address) {
        if (c.Core().Open(address) != S_OK) return false;
        return Waiter.Until([&] {
            const TStatus s = c.Core().PlayState();
            return s != vpOpening && s != vpClosed;
        });
    }
    bool Cells(TProbeCtrl& c, int count) {
        return Waiter.Until([&] { return c.frmNails()->NailCount() == count; });
    }

    test::TScriptDir Dir;
    test::TTempDir Cache;
    test::TScript Script{300, 200};
    test::TWaiter Waiter;
    TSkips Sink{Waiter};
};

TEST_F(NailsCtrlTest, ALocalRecordingsThumbnailsLieBesideIt) {
    const std::string with = Recording(Dir.File("a/rec.kiv"), 24);
    const std::string without = Recording(Dir.File("b/rec.kiv"), 0);
    auto c = NewCtrl();
    TNailsFrame& strip = *c->frmNails();
    EXPECT_TRUE(strip.isHidden());
    ASSERT_TRUE(Opened(*c, with));
    ASSERT_TRUE(Cells(*c, 24));
    EXPECT_TRUE(strip.isVisible());
    EXPECT_TRUE(strip.Splitter()->isVisible());
    const TNailsIndex index = TNailsIndex::LoadFromFile(Dir.File("a/nails.xml"));
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(strip.Nail(i)->Time(), index.Seconds(uint64_t(i))) << i;
        EXPECT_TRUE(strip.Nail(i)->HasPicture()) << i;
        EXPECT_EQ(strip.Nail(i)->FileName().toStdString(),
                  Dir.File("a/nails/") + std::string(index.FileName(uint64_t(i))));
    }
    // Another recording hides the strip; one without thumbnails leaves it hidden.
    ASSERT_EQ(c->Core().Open(without), S_OK);
    EXPECT_TRUE(strip.isHidden());
    EXPECT_FALSE(strip.Splitter()->isVisible());
    ASSERT_TRUE(Waiter.Until([&] { return c->Core().PlayState() == vpOpened; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(strip.isHidden());
}

TEST_F(NailsCtrlTest, ThumbnailsOfAnEarlierRecordingNeverReachTheStrip) {
    // The control goes with blocks still queued at it: nothing leaks (sanitizer build).
    const std::string a = Recording(Dir.File("a/rec.kiv"), 120);
    const std::string b = Recording(Dir.File("b/rec.kiv"), 5);
    {
        auto c = NewCtrl();
        ASSERT_TRUE(Opened(*c, a));
        ASSERT_TRUE(c->WaitCreated(120));
    }
    auto c = NewCtrl();
    ASSERT_TRUE(Opened(*c, a));
    // All of the first recording's blocks wait at the window when it is replaced.
    ASSERT_TRUE(c->WaitCreated(120));
    ASSERT_TRUE(Opened(*c, b));
    ASSERT_TRUE(Cells(*c, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(c->frmNails()->NailCount(), 5);
    for (int i = 0; i < c->frmNails()->NailCount(); ++i)
        EXPECT_EQ(c->frmNails()->Nail(i)->FileName().toStdString().rfind(Dir.File("b/"), 0), 0u)
            << i;
}

// A folder may hold anything under a picture's name. The window goes on
// handling events (the cells after a FIFO arrive), and only regular files
// inside the folder, of a thumbnail's size, show.
TEST_F(NailsCtrlTest, AHostileFolderNeitherStopsTheWindowNorIsLeft) {
    namespace fs = std::filesystem;
    const std::string rec = Recording(Dir.File("a/rec.kiv"), 0);
    const std::string nails = Dir.File("a/nails/");
    fs::create_directories(nails);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QString::fromStdString(Dir.File("outside.jpg")), "JPEG"));
    auto picture = [&](const std::string& p) { fs::copy_file(Dir.File("outside.jpg"), p); };
    const struct {
        const char* What;
        const char* Name;
        std::function<void(const std::string& path)> Make;
        bool Shows;
    } cases[] = {
        {"a picture", "a.jpg", picture, true},
        {"a FIFO", "b.jpg", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         false},
        {"a link out of the folder", "c.jpg",
         [&](const std::string& p) { fs::create_symlink(Dir.File("outside.jpg"), p); }, false},
        {"a link inside it", "d.jpg", [](const std::string& p) { fs::create_symlink("a.jpg", p); },
         true},
        {"a name with ..", "../../outside.jpg", nullptr, false},
        {"a picture too large", "f.jpg",
         [&](const std::string& p) {
             picture(p);
             std::ofstream(p, std::ios::binary | std::ios::app) << std::string(4u << 20, '\0');
         },
         false},
        {"a folder", "g.jpg", [](const std::string& p) { fs::create_directory(p); }, false},
    };
    std::string index;
    for (const auto& k : cases) {
        index += std::to_string((&k - cases) * 1000) + "=" + k.Name + "\r\n";
        if (k.Make) k.Make(nails + k.Name);
    }
    std::ofstream(Dir.File("a/nails.xml"), std::ios::binary) << index;
    test::TLogCapture log;
    auto c = NewCtrl();
    ASSERT_TRUE(Opened(*c, rec));
    ASSERT_TRUE(Cells(*c, int(std::size(cases))));
    int refused = 0;
    for (const auto& k : cases) {
        EXPECT_EQ(c->frmNails()->Nail(int(&k - cases))->HasPicture(), k.Shows) << k.What;
        refused += !k.Shows;
    }
    EXPECT_EQ(log.Count("KivPlayer.ocx ->TNail.SetFileName raise:"), refused);
}

TEST_F(NailsCtrlTest, WhilePlayingTheCellOfTheMomentIsHighlighted) {
    const std::string rec = Recording(Dir.File("rec.kiv"), 3);
    auto c = NewCtrl(true);
    ASSERT_TRUE(Opened(*c, rec));
    ASSERT_TRUE(Cells(*c, 3));
    ASSERT_TRUE(Waiter.Until([&] { return c->frmNails()->CurrentNail() != nullptr; }));
    int32_t ms = 0;
    c->Core().GetCurrentPosition(&ms);
    EXPECT_LE(c->frmNails()->CurrentNail()->Time(), ms / 1000);
    EXPECT_TRUE(Sink.Skips.empty()) << "only a click asks the host to skip";
}

TEST_F(NailsCtrlTest, AWidthChangeReflowsOneAcknowledgedStepAtATime) {
    Recording(Dir.File("rec.kiv"), 120);
    auto c = NewCtrl();
    TNailsFrame& strip = *c->frmNails();
    ASSERT_TRUE(Opened(*c, Dir.File("rec.kiv")));
    ASSERT_TRUE(Cells(*c, 120));
    const int32_t before = strip.Columns();
    // Two changes at once: the second restarts the run.
    c->resize(200, 410);
    c->resize(700, 410);
    const int32_t after = strip.Columns();
    ASSERT_NE(before, after);
    const int32_t h = strip.Nail(0)->Height();
    auto settled = [&] {
        if (c->Steps.empty() || c->Steps.back() != 119) return false;
        for (int32_t i = 0; i < 120; ++i)
            if (!(strip.Nail(i)->Place() == NailPlace(i, after, h))) return false;
        return true;
    };
    ASSERT_TRUE(Waiter.Until(settled));
    EXPECT_EQ(c->MostQueued.load(), 1);
    ASSERT_GE(c->Steps.size(), 119u);
    const std::vector<int32_t> tail(c->Steps.end() - 119, c->Steps.end());
    for (int32_t i = 0; i < 119; ++i)
        ASSERT_EQ(tail[size_t(i)], i + 1);
}

TEST_F(NailsCtrlTest, AWebRecordingsThumbnailsAreDownloaded) {
    if (test::TNginx::Binary().empty()) GTEST_SKIP() << test::TNginx::kMissing;
    test::TNginx nginx;
    ASSERT_TRUE(nginx.Running()) << nginx.Error();
    const std::string root = nginx.Root().Path() + "/";
    Recording(root + "good/rec.kiv", 24);
    Recording(root + "html/rec.kiv", 24);
    nginx.Root().Write("html/nails.xml",
                       std::string("<!DOCTYPE html>\n<html><body>Not found</body></html>\n"));
    struct TCase {
        const char* Folder;
        int Cells; // 0: the strip stays hidden
    } cases[] = {{"good/", 24}, {"html/", 0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.Folder);
        std::filesystem::remove_all(Cache.Path());
        std::filesystem::create_directories(Cache.Path());
        auto c = NewCtrl();
        ASSERT_TRUE(Opened(*c, nginx.Url(std::string(k.Folder) + "rec.kiv")));
        if (k.Cells) {
            ASSERT_TRUE(Cells(*c, k.Cells));
            EXPECT_FALSE(c->frmNails()->isHidden());
            const TNail& first = *c->frmNails()->Nail(0);
            EXPECT_TRUE(first.HasPicture());
            EXPECT_EQ(first.FileName().toStdString(), Cache.Path() + "/nails/nail0000.jpg");
            EXPECT_EQ(ReadAll(Cache.Path() + "/nails/nail0000.jpg"),
                      ReadAll(root + k.Folder + "nails/nail0000.jpg"));
        } else {
            QCoreApplication::processEvents();
            EXPECT_TRUE(c->frmNails()->isHidden());
            EXPECT_EQ(c->frmNails()->NailCount(), 0);
            c.reset(); // ends the download
            EXPECT_FALSE(std::filesystem::exists(Cache.Path() + "/nails/nail0000.jpg"));
        }
    }
}

TEST_F(NailsCtrlTest, OpeningAnotherRecordingStopsTheDownload) {
    const std::string recording = ReadAll(Recording(Dir.File("web/rec.kiv"), 0));
    std::mutex lock;
    std::condition_variable changed;
    bool asked = false, released = false;
    test::THttpServer server([&](const test::THttpRequest& r) {
        if (r.Target.find(kNailsIndexName) == std::string::npos)
            return test::THttpServer::Ranged(r, recording);
        std::unique_lock guard(lock);
        asked = true;
        changed.notify_all();
        changed.wait(guard, [&] { return released; });
        return test::THttpResponse{200, {}, "1000=a.jpg\r\n"};
    });
    const std::string local = Recording(Dir.File("local/rec.kiv"), 0);
    auto c = NewCtrl();
    ASSERT_TRUE(Opened(*c, server.Url("/rec/rec.kiv")));
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(20), [&] { return asked; }));
    }
    // Should the transfer not end, the server lets go after a while, and the
    // test fails instead of hanging.
    std::thread guard([&] {
        std::unique_lock g(lock);
        changed.wait_for(g, std::chrono::seconds(30), [&] { return released; });
        released = true;
        changed.notify_all();
    });
    ASSERT_EQ(c->Core().Open(local), S_OK);
    bool letGo = false;
    {
        std::lock_guard g(lock);
        letGo = released;
        released = true;
        changed.notify_all();
    }
    guard.join();
    EXPECT_FALSE(letGo) << "the open waited for the server";
}

} // namespace
} // namespace kiv::ui
