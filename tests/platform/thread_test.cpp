#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <vector>

using namespace kiv;

namespace {

constexpr int64_t kGenerous = 10000; // ms; only a failing test waits this long

// Records every message until WM_QUIT; signals Done after each one.
class TRecorder : public TThread {
public:
    std::vector<TMessage> Seen; // written by the thread, read after WaitFor
    TEvent Done;
    bool ThrowOnFirst = false;

protected:
    void Execute() override {
        TMessage m;
        while (GetMessage(m)) {
            if (ThrowOnFirst) throw std::runtime_error("handler failed");
            Seen.push_back(m);
            Done.Signal();
        }
    }
};

// Waits for "a message or a deadline", as the play loop does.
class TWaiter : public TThread {
public:
    TEvent Started, Woke;
    bool GotMessage = false;

protected:
    void Execute() override {
        Started.Signal();
        GotMessage = WaitMessageFor(kGenerous);
        TMessage m;
        GotMessage = GotMessage && PeekMessage(m) && m.Msg == WM_USER + 7;
        Woke.Signal();
        while (GetMessage(m)) {
        }
    }
};

} // namespace

TEST(MessageQueue, PeekKeepsTheMessageAndGetTakesItInOrder) {
    TMessageQueue q;
    ASSERT_TRUE(q.Post(WM_USER + 1, 10, 20));
    ASSERT_TRUE(q.Post(WM_USER + 2, -1, 0));
    TMessage m;
    ASSERT_TRUE(q.Peek(m));
    EXPECT_EQ(m.Msg, WM_USER + 1u);
    EXPECT_EQ(q.Size(), 2u);
    q.Get(m);
    EXPECT_EQ(m.WParam, 10);
    EXPECT_EQ(m.LParam, 20);
    ASSERT_TRUE(q.TryGet(m));
    EXPECT_EQ(m.WParam, -1);
    EXPECT_FALSE(q.TryGet(m));
    EXPECT_FALSE(q.WaitFor(1)) << "an empty queue reaches the deadline";
    q.Close();
    EXPECT_FALSE(q.Post(WM_USER)) << "a closed queue refuses posts";
}

TEST(Thread, HandlesMessagesInOrderAndRefusesPostsOnceEnded) {
    TRecorder t;
    t.Start();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(t.Post(WM_USER + 1, i));
    ASSERT_TRUE(t.Quit());
    t.WaitFor();
    ASSERT_EQ(t.Seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(t.Seen[i].WParam, i);
    EXPECT_TRUE(t.Finished());
    EXPECT_GT(t.ThreadId(), 0);
    EXPECT_FALSE(t.Post(WM_USER + 1)) << "posts to an ended thread are refused, not queued";
}

TEST(Thread, AnEscapingExceptionEndsTheThreadQuietly) {
    TRecorder t;
    t.ThrowOnFirst = true;
    t.Start();
    ASSERT_TRUE(t.Post(WM_USER + 1));
    t.WaitFor();
    EXPECT_TRUE(t.Finished());
    EXPECT_FALSE(t.Post(WM_USER + 1));
}

TEST(Thread, WaitForAMessageWakesOnAPost) {
    TWaiter t;
    t.Start();
    ASSERT_TRUE(t.Started.Wait(kGenerous));
    ASSERT_TRUE(t.Post(WM_USER + 7));
    ASSERT_TRUE(t.Woke.Wait(kGenerous));
    EXPECT_TRUE(t.GotMessage);
    t.Quit();
    t.WaitFor();
}

TEST(Thread, DestroyingARunningThreadEndsIt) {
    auto t = std::make_unique<TRecorder>();
    t->Start();
    t->Post(WM_USER + 1);
    ASSERT_TRUE(t->Done.Wait(kGenerous));
    t.reset(); // must not hang or crash
}

TEST(Event, IsAutoResetAndKeepsASignalUntilWaitedFor) {
    TEvent e;
    EXPECT_FALSE(e.Wait(0));
    e.Signal();
    e.Signal(); // two signals before a wait count once
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));
    std::thread other([&] { e.Signal(); });
    EXPECT_TRUE(e.Wait(kGenerous));
    other.join();
}
