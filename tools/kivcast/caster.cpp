#include "caster.h"

#include "format/recording_reader.h"
#include "platform/byte_stream.h"
#include "platform/error.h"
#include "platform/parse.h"
#include "sources/datagram.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace kiv::cast {
namespace {

// Between the last sample of a pass and the first of the next, as time stamps go on.
constexpr uint32_t kLoopGapMs = 40;

constexpr const char kUsage[] =
    "[--group G] [--port P] --interface ADDR [--sms OUT.sms] [--once] [--rate MBIT] "
    "[--ttl N] [--drop-fragment SAMPLE:FRAGMENT]... [--quiet] RECORDING";

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

int Usage(const char* name, const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", name, problem.c_str());
    std::fprintf(stderr, "usage: %s %s\n", name, kUsage);
    return 2;
}

} // namespace

TCaster::TCaster(const TCastOptions& options) : FDrops(options.Drops), FDatagram(kMaxDatagramSize) {
    FTo.sin_family = AF_INET;
    FTo.sin_port = htons(options.Port);
    if (!ParseIPv4(options.Group, FTo.sin_addr)) throw EKivError("not a group: " + options.Group);
    if (!FSocket.Open()) throw EKivError(SystemError("socket"));
    if (!FSocket.SetSendInterface(options.Interface))
        throw EKivError(SystemError("cannot send through " + options.Interface));
    if (!FSocket.SetMulticastTtl(options.Ttl)) throw EKivError(SystemError("IP_MULTICAST_TTL"));
    FSocket.SetSendBuffer(1 << 20);
}

void TCaster::Send(const uint8_t* record, uint32_t size) {
    const uint32_t count = FragmentCountFor(size);
    if (count == 0) throw EKivError("record too large to cast");
    const uint64_t number = FSummary.Samples++;
    const uint32_t id = FNextId++;
    for (uint32_t i = 0; i < count; ++i) {
        if (FDrops.count({number, i})) continue;
        const size_t length =
            MakeDatagram(record, size, id, static_cast<uint16_t>(i), FDatagram.data());
        if (!FSocket.SendTo(FDatagram.data(), length, FTo)) throw EKivError(SystemError("send"));
        ++FSummary.Datagrams;
    }
    FSummary.Bytes += size;
}

void WriteSmsFile(const std::string& path, const std::string& group, uint16_t port) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) throw EKivError(SystemError("cannot write " + path));
    const std::string text =
        "[Address]\r\nip=" + group + "\r\nport=" + std::to_string(port) + "\r\n";
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() ||
        std::fclose(f.release()) != 0)
        throw EKivError(SystemError("cannot write " + path));
}

TCastSummary Cast(const TCastOptions& o) {
    TCaster caster(o);
    if (!o.SmsPath.empty()) WriteSmsFile(o.SmsPath, o.Group, o.Port);
    using TClock = std::chrono::steady_clock;
    const TClock::time_point start = TClock::now();
    uint64_t offset = 0; // added to the time stamps of this pass, so they go on rising
    bool first = true;
    uint64_t firstTime = 0;
    for (uint32_t pass = 1;; ++pass) {
        TFileStream stream(o.Recording);
        const TOpenedRecording opened = OpenRecording(stream);
        if (opened.Code != 0) throw EKivError("cannot read " + o.Recording + ": " + opened.Text);
        uint64_t lastTime = 0;
        uint64_t sent = 0;
        TRecordingWalker walker(stream, opened.Header);
        const bool whole = walker.Run([&](TSampleBlock record) {
            const uint32_t time = SampleTimeStamp(record.get());
            const uint64_t at = offset + time;
            if (first) {
                firstTime = at;
                first = false;
            }
            lastTime = time;
            StoreLE32(record.get(), static_cast<uint32_t>(at));
            TClock::time_point due;
            if (o.RateMbit > 0)
                due = start +
                      std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(
                          double(caster.Summary().Bytes) * 8 / (o.RateMbit * 1e6)));
            else
                due = start + std::chrono::milliseconds(at - firstTime);
            std::this_thread::sleep_until(due);
            caster.Send(record.get(), static_cast<uint32_t>(SampleRecordSize(record.get())));
            ++sent;
        });
        if (!whole && !o.Quiet)
            std::fprintf(stderr, "kivcast: %s: %s\n", o.Recording.c_str(),
                         walker.Failure().c_str());
        if (sent == 0) throw EKivError(o.Recording + " holds no samples");
        if (o.Once) {
            TCastSummary s = caster.Summary();
            s.Passes = pass;
            return s;
        }
        offset += lastTime + kLoopGapMs;
    }
}

int CastCommand(int argc, char** argv) {
    const char* name = argc > 0 && argv[0] ? argv[0] : "kivcast";
    TCastOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        uint64_t n = 0;
        if (arg == "--once") {
            o.Once = true;
        } else if (arg == "--quiet") {
            o.Quiet = true;
        } else if (arg == "--group" && hasValue) {
            o.Group = argv[++i];
            if (!IsMulticastGroup(o.Group)) return Usage(name, "not a multicast group: " + o.Group);
        } else if (arg == "--port" && hasValue) {
            if (!ParseDecimal(argv[++i], 65535, n) || n == 0)
                return Usage(name, "bad port: " + std::string(argv[i]));
            o.Port = static_cast<uint16_t>(n);
        } else if (arg == "--interface" && hasValue) {
            o.Interface = argv[++i];
            in_addr a{};
            if (!ParseIPv4(o.Interface, a))
                return Usage(name, "not an IPv4 address: " + o.Interface);
        } else if (arg == "--sms" && hasValue) {
            o.SmsPath = argv[++i];
        } else if (arg == "--rate" && hasValue) {
            char* end = nullptr;
            o.RateMbit = std::strtod(argv[++i], &end);
            if (*end || !(o.RateMbit > 0) || o.RateMbit > 1e6)
                return Usage(name, "bad rate: " + std::string(argv[i]));
        } else if (arg == "--ttl" && hasValue) {
            if (!ParseDecimal(argv[++i], 255, n) || n == 0)
                return Usage(name, "bad ttl: " + std::string(argv[i]));
            o.Ttl = static_cast<int>(n);
        } else if (arg == "--drop-fragment" && hasValue) {
            const std::string v = argv[++i];
            const size_t colon = v.find(':');
            uint64_t sample = 0, fragment = 0;
            if (colon == std::string::npos ||
                !ParseDecimal(v.substr(0, colon).c_str(), UINT64_MAX / 10, sample) ||
                !ParseDecimal(v.substr(colon + 1).c_str(), 65535, fragment))
                return Usage(name, "bad --drop-fragment: " + v);
            o.Drops.insert({sample, static_cast<uint32_t>(fragment)});
        } else if (!arg.empty() && arg[0] != '-' && o.Recording.empty()) {
            o.Recording = arg;
        } else {
            return Usage(name, "unexpected argument: " + arg);
        }
    }
    if (o.Interface.empty()) return Usage(name, "--interface is required");
    if (o.Recording.empty()) return Usage(name, "no recording");
    try {
        if (!o.Quiet)
            std::fprintf(stderr, "kivcast: casting %s to %s:%u through %s%s\n", o.Recording.c_str(),
                         o.Group.c_str(), unsigned(o.Port), o.Interface.c_str(),
                         o.Once ? " once" : "");
        const TCastSummary s = Cast(o);
        std::printf("sent %llu samples (%llu bytes) in %llu datagrams\n",
                    static_cast<unsigned long long>(s.Samples),
                    static_cast<unsigned long long>(s.Bytes),
                    static_cast<unsigned long long>(s.Datagrams));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

} // namespace kiv::cast
