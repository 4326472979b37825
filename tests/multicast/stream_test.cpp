// The multicast source and its receivers where no network is needed: unusable
// description files, a host without interfaces, requests to an ended receiver.
#include "multicast/cast_util.h"
#include "net/address.h"
#include "sources/reading_threads.h"

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

// Addresses no host has (TEST-NET-1): a receiver started by mistake could join nothing.
const std::vector<std::string> kNowhere = {"192.0.2.1", "192.0.2.2"};

TEST(MulticastOpen, AnUnusableDescriptionAnswersCode9WithoutStartingReceivers) {
    TScratchDir dir;
    const std::string path = dir.File("cast.sms");
    for (const std::string& text : {std::string("[Address]\nip=238.0.0.1\n"),
                                    SmsText("238.0.0.1", 0), std::string("[Address]\nport=6000\n"),
                                    std::string("[Elsewhere]\nip=238.0.0.1\nport=6000\n")}) {
        WriteText(path, text);
        TLogCapture log;
        TCastHost host(kNowhere);
        EXPECT_EQ(host.Open(path), srBadMulticastFile) << text;
        EXPECT_EQ(host.Stream->SourceKind(), skMulticast);
        for (size_t i = 0; i < kNowhere.size(); ++i) {
            EXPECT_FALSE(host.Stream->Receiver(i).Running());
            EXPECT_EQ(host.Stream->Receiver(i).Runs(), 0u);
        }
        EXPECT_EQ(log.Count("KivPlayer.ocx ->"), 0) << "nothing is logged";
    }
    TCastHost host(kNowhere);
    EXPECT_EQ(host.Open(dir.File("missing.sms")), srBadMulticastFile);
}

TEST(MulticastOpen, AHostWithoutInterfacesAnswersCode9AndReadsNothing) {
    TScratchDir dir;
    const std::string path = dir.File("cast.sms");
    WriteText(path, SmsText("238.0.0.1", 6000));
    TLogCapture log;
    TCastHost host(std::vector<std::string>{});
    EXPECT_EQ(host.Open(path), srBadMulticastFile);
    EXPECT_EQ(log.Count("no network interface"), 1);
    // A read request returns at once instead of turning over no receivers.
    const uint64_t passes = host.Stream->Passes();
    host.Stream->Fill(-1);
    EXPECT_TRUE(host.Stream->WaitPass(passes, kWaitMs));
    EXPECT_FALSE(host.Stream->Reading());
}

TEST(MulticastOpen, TakesAtMostFourInterfaces) {
    TCastHost host(
        std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4", "192.0.2.5"});
    EXPECT_EQ(host.Stream->Addresses().size(), TKivMulticastStream::kMaxReceivers);
}

TEST(MulticastOpen, TheControlGetsAMulticastSourceForSmsAddresses) {
    TPlayContext context;
    TReadingSource s = NewReadingThread("/some/where/Cast.SMS", &context, "/tmp/");
    EXPECT_NE(dynamic_cast<TKivMulticastStream*>(s.Thread.get()), nullptr);
    EXPECT_EQ(s.Name, "/some/where/Cast.SMS");
    TReadingSource live = NewReadingThread("KIVS://host/cast.sms", &context, "/tmp/");
    EXPECT_EQ(dynamic_cast<TKivMulticastStream*>(live.Thread.get()), nullptr);
}

TEST(Receiver, RequestsToAnEndedReceiverReturnAtOnce) {
    TReceiveThread r;
    EXPECT_EQ(r.Group(), "238.0.0.1");
    EXPECT_EQ(r.Port(), 6000u);
    EXPECT_EQ(r.LocalAddress(), "");
    EXPECT_TRUE(r.StopReceiving()); // answered while idle
    r.Destroy();
    EXPECT_TRUE(r.Finished());
    EXPECT_FALSE(r.Start());
    EXPECT_FALSE(r.StopReceiving());
    EXPECT_FALSE(r.Pop());
    r.Destroy();
}

} // namespace
} // namespace kiv::test
