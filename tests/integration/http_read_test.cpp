// Reading recordings from real web servers on 127.0.0.1: nginx (honours ranges),
// python3 -m http.server (ignores them), and the built kivtool against both and
// against a server that fails half-way.
#include "net/internet_stream.h"
#include "sources/fill_test_util.h"
#include "support/kivtool_run.h"
#include "support/nginx.h"
#include "support/python_server.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace kiv;
using namespace kiv::test;
using kiv::synth::TRecordingWriter;
using kiv::synth::TSynthOptions;

namespace {

// Runs the built kivtool with its standard error in a file of dir; env prefixes the command.
TRun Kivtool(const TTempDir& dir, const std::string& args, const std::string& env = "") {
    return RunKivtool(dir.File("stderr.txt"), args, env);
}

TBytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        out.push_back(line);
    return out;
}

// One nginx for the suite, serving a few recordings that are also read from disk.
class Nginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (TNginx::Binary().empty()) return;
        Server = new TNginx;
        if (!Server->Running()) return;
        const auto& root = Server->Root();
        TSynthOptions small;
        small.Seconds = 20;
        small.Width = 640;
        small.Height = 480;
        synth::WriteSynthRecording(root.File("synth.kiv"), small);
        TSynthOptions large;
        large.Seconds = 12;
        large.LargeRawRecord = true;
        large.KeyFrameIntervalMs = 4000;
        synth::WriteSynthRecording(root.File("large.kiv"), large);
        TSynthOptions jpeg = small;
        jpeg.OnlyCompression = ckJpeg;
        jpeg.Seed = 7;
        synth::WriteSynthRecording(root.File("jpeg.kiv"), jpeg);
        root.Write("steps.kiv", StepsRecording(5900, 1000, 20000));
    }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }
    void SetUp() override {
        if (TNginx::Binary().empty()) GTEST_SKIP() << TNginx::kMissing;
        ASSERT_TRUE(Server && Server->Running()) << (Server ? Server->Error() : "");
    }
    static std::string Disk(const std::string& name) { return Server->Root().File(name); }
    static std::string Url(const std::string& name) { return Server->Url(name); }

    static TNginx* Server;
    TTempDir Dir;
};

TNginx* Nginx::Server = nullptr;

} // namespace

TEST_F(Nginx, DumpOverHttpIsTheDumpFromDisk) {
    bool sawLargeRecord = false;
    for (const char* name : {"synth.kiv", "large.kiv", "jpeg.kiv", "steps.kiv"}) {
        SCOPED_TRACE(name);
        TRun disk = Kivtool(Dir, "dump " + Disk(name));
        TRun http = Kivtool(Dir, "dump " + Url(name));
        ASSERT_EQ(disk.Exit, 0) << disk.Err;
        ASSERT_EQ(http.Exit, 0) << http.Err;
        EXPECT_EQ(http.Out, disk.Out);
        EXPECT_EQ(Lines(disk.Out).size(), RecordsOf(ReadFileBytes(Disk(name))).size());
        for (const auto& line : Lines(http.Out)) {
            unsigned long long length = 0;
            if (std::sscanf(line.c_str(), "%*u,%*u,%*d,%*u,%llu", &length) == 1 &&
                length > 512 * 1024)
                sawLargeRecord = true;
        }
        TRun infoDisk = Kivtool(Dir, "info " + Disk(name));
        TRun infoHttp = Kivtool(Dir, "info " + Url(name));
        EXPECT_EQ(infoHttp.Exit, 0);
        EXPECT_EQ(infoHttp.Out, infoDisk.Out);
    }
    EXPECT_TRUE(sawLargeRecord) << "large.kiv has a record beyond the 512 KiB work buffer";
}

// The web library brings the TLS libraries with it: a local recording must not load it.
TEST_F(Nginx, OnlyWebAddressesLoadTheWebLibrary) {
    TRun disk = Kivtool(Dir, "info " + Disk("synth.kiv"), "LD_DEBUG=files");
    TRun http = Kivtool(Dir, "info " + Url("synth.kiv"), "LD_DEBUG=files");
    ASSERT_EQ(disk.Exit, 0);
    ASSERT_EQ(http.Exit, 0);
    EXPECT_EQ(disk.Err.find("libcurl"), std::string::npos);
    EXPECT_NE(http.Err.find("libcurl"), std::string::npos);
}

TEST_F(Nginx, RecordsArriveByteForByte) {
    for (const char* name : {"large.kiv", "jpeg.kiv"}) {
        SCOPED_TRACE(name);
        TFillHost host;
        ASSERT_EQ(host.Open(Url(name)), 0);
        EXPECT_EQ(host.ReadAll(), RecordsOf(ReadFileBytes(Disk(name))));
        EXPECT_TRUE(host.Thread->Exhausted());
    }
}

TEST_F(Nginx, SeeksShowWhatTheyShowFromDisk) {
    TFillHost disk, http;
    ASSERT_EQ(disk.Open(Disk("synth.kiv")), 0);
    ASSERT_EQ(http.Open(Url("synth.kiv")), 0);
    std::mt19937 rng(5);
    std::vector<int32_t> targets = {0, 1, 10000, 19999, 20003, 25000};
    for (int i = 0; i < 12; ++i)
        targets.push_back(static_cast<int32_t>(rng() % disk.Context.Header.Duration));
    for (int32_t t : targets) {
        SCOPED_TRACE(t);
        const int64_t shown = disk.SeekShows(t);
        EXPECT_GE(shown, 0);
        EXPECT_LE(shown, std::max<int64_t>(t, 0));
        EXPECT_EQ(http.SeekShows(t), shown);
    }
}

TEST_F(Nginx, OpenResultsMatchTheDiskOnes) {
    const TBytes good = ReadFileBytes(Disk("steps.kiv"));
    TBytes magic = good;
    magic[0] = 'X';
    TBytes noIndex = good;
    StoreLE32(noIndex.data() + 12, 0);
    struct {
        const char* Name;
        TBytes Bytes;
        int Code;
        const char* Text;
    } cases[] = {
        {"short.kiv", TBytes(good.begin(), good.begin() + 20), 5, "File damaged"},
        {"magic.kiv", magic, 1, "Can not open the file"},
        {"noindex.kiv", noIndex, 2, "No index information"},
        {"cutindex.kiv", TBytes(good.begin(), good.end() - 3), 5, "File damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Server->Root().Write(c.Name, c.Bytes);
        for (const std::string& address : {Disk(c.Name), Url(c.Name)}) {
            TRun run = Kivtool(Dir, "info " + address);
            EXPECT_EQ(run.Exit, c.Code) << address;
            EXPECT_EQ(run.Err, std::string(c.Text) + ":" + address + "\n");
            EXPECT_EQ(run.Out, "");
        }
    }
    // Missing: the file cannot be opened, from disk and over HTTP alike.
    TRun disk = Kivtool(Dir, "info " + Disk("missing.kiv"));
    EXPECT_EQ(disk.Exit, 1);
    EXPECT_EQ(disk.Err, "Can not open the file:" + Disk("missing.kiv") + "\n");
    TRun http = Kivtool(Dir, "info " + Url("missing.kiv"));
    EXPECT_EQ(http.Exit, 1);
    EXPECT_EQ(http.Err, "Can not open the file:" + Url("missing.kiv") + "\n");
}

TEST_F(Nginx, TheStreamKeepsItsConnectionUntilClosed) {
    const TBytes bytes = ReadFileBytes(Disk("synth.kiv"));
    const size_t logged = Server->AccessLog().size();
    TInternetStream s(Url("synth.kiv"));
    std::vector<uint8_t> buf(32768);
    s.Seek(1000, soBeginning);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(s.Read(buf.data(), 32768), 32768);
        EXPECT_TRUE(std::equal(buf.begin(), buf.end(), bytes.begin() + 1000 + i * 32768));
    }
    s.Close();
    ASSERT_EQ(s.Read(buf.data(), 100), 100);
    // Past the end: the server refuses the range and the read gives nothing.
    s.Seek(static_cast<int64_t>(bytes.size()), soBeginning);
    TLogCapture log;
    EXPECT_EQ(s.Read(buf.data(), 100), 0);
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :416"));

    // nginx logs a request just after answering it.
    auto lines = Server->AccessLog();
    for (int i = 0; i < 1000 && lines.size() < logged + 6; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lines = Server->AccessLog();
    }
    ASSERT_EQ(lines.size(), logged + 6);
    std::vector<std::string> connection, status, range;
    for (size_t i = logged; i < lines.size(); ++i) {
        std::stringstream f(lines[i]);
        std::string c, st, r;
        f >> c >> st >> r;
        connection.push_back(c);
        status.push_back(st);
        range.push_back(r);
    }
    EXPECT_EQ(range[0], "\"bytes=1000-33767\"");
    EXPECT_EQ(status[0], "206");
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(connection[i], connection[0]) << "kept between reads";
    EXPECT_NE(connection[4], connection[0]) << "made again after Close";
    EXPECT_EQ(connection[5], connection[4]);
    EXPECT_EQ(status[5], "416");
}

// python3 -m http.server answers every request with the whole file.
TEST(PythonServer, IgnoredRangesServeOnlyTheStart) {
    if (TPythonServer::Binary().empty()) GTEST_SKIP() << TPythonServer::kMissing;
    TTempDir root, dir;
    const TBytes bytes = StepsRecording();
    root.Write("a.kiv", bytes);
    TPythonServer server(root.Path());
    ASSERT_TRUE(server.Running()) << server.Error();

    TInternetStream s(server.Url("a.kiv"));
    std::vector<uint8_t> buf(1000);
    ASSERT_EQ(s.Read(buf.data(), 1000), 1000);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), bytes.begin()));
    TLogCapture log;
    EXPECT_EQ(s.Read(buf.data(), 1000), 0) << "bytes 1000 on are not what a 200 answer holds";
    EXPECT_EQ(s.Position(), 1000);
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :200"));

    // The header comes from the start; the index cannot be had.
    TRun run = Kivtool(dir, "info " + server.Url("a.kiv"));
    EXPECT_EQ(run.Exit, 5);
    EXPECT_EQ(run.Err, "File damaged:" + server.Url("a.kiv") + "\n");
}

// The one slow test: kivtool waits about 30 s for a source that stopped before
// it gives up, so a single case covers errors half-way.
TEST(FailingServer, DumpPrintsWhatItHasAndSaysWhereItStopped) {
    TTempDir dir;
    const TBytes bytes = StepsRecording(5900, 1000, 20000);
    const std::string path = dir.Write("a.kiv", bytes);
    const TRun whole = Kivtool(dir, "dump " + path);
    ASSERT_EQ(whole.Exit, 0);

    TRecordingServer server;
    server.Put("a.kiv", bytes);
    // The second half of the sample area fails; the header and the index do not.
    const int64_t end = kFileHeaderSize + LoadLE32(bytes.data() + 12);
    const int64_t brokenFrom = kFileHeaderSize + (end - kFileHeaderSize) / 2;
    server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        if (r.From < brokenFrom || r.From >= end) return std::nullopt;
        THttpResponse res;
        res.Status = 500;
        return res;
    });
    const TRun run = Kivtool(dir, "dump " + server.Url("a.kiv"));
    EXPECT_EQ(run.Exit, 1);
    const auto lines = Lines(run.Out);
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(lines.size(), Lines(whole.Out).size());
    EXPECT_EQ(whole.Out.substr(0, run.Out.size()), run.Out) << "a true prefix of the listing";
    EXPECT_EQ(run.Err, "kivtool: stopped after " + std::to_string(lines.size()) +
                           " records: the source stopped delivering after " +
                           std::to_string(lines.size()) + " records\n");
}

// A server answering every range with at most 1000 bytes is slow, not broken:
// dump and snapshot print and write what they do from the disk.
TEST(ShortAnswers, DumpAndSnapshotGiveWhatTheyGiveFromDisk) {
    TTempDir dir;
    TSynthOptions o;
    o.Seconds = 10;
    o.Width = 640;
    o.Height = 480;
    const TBytes bytes = synth::MakeSynthRecording(o);
    const std::string path = dir.Write("a.kiv", bytes);
    TRecordingServer server;
    server.Put("a.kiv", bytes);
    server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        const std::string range = std::to_string(r.From) + "-" + std::to_string(r.To);
        return THttpServer::RangedAtMost({"GET", r.Target, {{"range", "bytes=" + range}}},
                                         std::string(bytes.begin(), bytes.end()), 1000);
    });
    for (const std::string command : {"dump", "snapshot"}) {
        SCOPED_TRACE(command);
        std::vector<TRun> runs;
        for (const std::string& address : {path, server.Url("a.kiv")}) {
            const std::string out = dir.File(std::to_string(runs.size()) + ".bmp");
            runs.push_back(Kivtool(dir, command + " " + address +
                                            (command == "snapshot" ? " 4500 " + out : "")));
            ASSERT_EQ(runs.back().Exit, 0) << runs.back().Err;
            if (command == "snapshot") {
                const TBytes picture = ReadFileBytes(out);
                runs.back().Out.assign(picture.begin(), picture.end());
            }
        }
        EXPECT_FALSE(runs[0].Out.empty());
        EXPECT_TRUE(runs[0].Out == runs[1].Out);
    }
}
