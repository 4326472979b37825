#include "nails/nail_block.h"
#include "nails/nails_creator.h"
#include "nails/nails_layout.h"
#include "platform/kiv_messages.h"
#include "support/log_capture.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace kiv;
using kiv::test::TLogCapture;
using kiv::test::TTempDir;

namespace {

using TThumb = std::pair<std::string, uint32_t>; // picture path, seconds

// What the control's handler would hand the strip, in order.
std::vector<TThumb> TakeThumbs(TQueueWindow& window, TNailsCreator& creator) {
    std::vector<TThumb> out;
    TMessage m;
    while (window.Queue.TryGet(m)) {
        EXPECT_EQ(m.Msg, WM_NAILCREATED);
        const TNailsCreator::TCreated created = creator.Take(m.WParam);
        EXPECT_EQ(creator.Take(m.WParam).Block, nullptr) << "taken once";
        TThumb t;
        ReadNailBlock(created.Block.get(), t.first, t.second);
        out.push_back(t);
    }
    return out;
}

} // namespace

TEST(NailsCreator, PostsTheStripsThumbnails) {
    auto lines = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += std::to_string(i * 1000) + "=p" + std::to_string(i) + ".jpg\r\n";
        return s;
    };
    const std::string tooLong(kNailPathCapacity, 'x');
    struct TCase {
        const char* Name;
        std::string Index;          // empty: no index file
        std::vector<TThumb> Thumbs; // paths relative to the folder
        bool Logged;
    } cases[] = {
        {"two thumbnails, ended by an empty line",
         "1000=a.jpg\r\n61500=b.jpg\r\n\r\n9000=c.jpg\r\n",
         {{"nails/a.jpg", 1}, {"nails/b.jpg", 61}},
         false},
        {"five lines, the third blank",
         "1000=a\n2000=b\n  \n4000=d\n5000=e\n",
         {{"nails/a", 1}, {"nails/b", 2}},
         false},
        {"equal times share a picture",
         "1000=a.jpg\n1000=b.jpg\n",
         {{"nails/a.jpg", 1}, {"nails/a.jpg", 1}},
         false},
        {"a bad time ends the list, logged; earlier thumbnails stay",
         "1000=a\n2000=b\nthree=c\n4000=d\n",
         {{"nails/a", 1}, {"nails/b", 2}},
         true},
        {"a path too long for the block is skipped",
         "1000=a\n2000=" + tooLong + "\n3000=c\n",
         {{"nails/a", 1}, {"nails/c", 3}},
         false},
        {"no index", "", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        if (!c.Index.empty()) dir.Write("nails.xml", c.Index);
        const std::string folder = dir.Path() + "/";
        TLogCapture log;
        TQueueWindow window;
        TNailsCreator creator(window, folder);
        creator.Start();
        creator.WaitFor();
        std::vector<TThumb> expected = c.Thumbs;
        for (auto& t : expected)
            t.first = folder + t.first;
        EXPECT_EQ(TakeThumbs(window, creator), expected);
        EXPECT_EQ(log.Count("TNailsCreator.Execute raise:") > 0, c.Logged);
    }

    // 121 lines show 120, the last line last.
    TTempDir dir;
    dir.Write("nails.xml", lines(121));
    TQueueWindow window;
    TNailsCreator creator(window, dir.Path() + "/");
    creator.Start();
    creator.WaitFor();
    EXPECT_EQ(creator.Posted(), 120u);
    const auto thumbs = TakeThumbs(window, creator);
    ASSERT_EQ(thumbs.size(), 120u);
    EXPECT_EQ(thumbs.front(), TThumb(dir.Path() + "/nails/p0.jpg", 0));
    EXPECT_EQ(thumbs.back(), TThumb(dir.Path() + "/nails/p120.jpg", 120));
}

namespace {

// The control's side of the handshake: each step is run and acknowledged on
// this thread, and the window counts the steps posted but not yet acknowledged.
class TLayoutWindow : public TWindowTarget {
public:
    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        if (msg == WM_NAILLAYOUT) {
            const int outstanding = ++FOutstanding;
            int seen = FMostOutstanding.load();
            while (outstanding > seen &&
                   !FMostOutstanding.compare_exchange_weak(seen, outstanding)) {
            }
        }
        return Queue.Post(msg, wParam, lParam);
    }
    // The next step, left unacknowledged; -1 when none came.
    intptr_t NextStep() {
        TMessage m;
        if (!Queue.WaitFor(10000) || !Queue.TryGet(m)) return -1;
        EXPECT_EQ(m.Msg, WM_NAILLAYOUT);
        return m.WParam;
    }
    void Acknowledge(TEvent& event) {
        --FOutstanding;
        event.Signal();
    }
    int MostOutstanding() const { return FMostOutstanding.load(); }

    TMessageQueue Queue;

private:
    std::atomic<int> FOutstanding{0};
    std::atomic<int> FMostOutstanding{0};
};

} // namespace

TEST(NailsLayout, OneStepPerAcknowledgement) {
    // Each case: requests, and before which step's acknowledgement the next
    // request is made; then the steps the control sees.
    struct TRequest {
        int32_t Count;
        int AfterSteps; // steps taken (of all so far) before this request is made
    };
    struct TCase {
        const char* Name;
        std::vector<TRequest> Requests;
        std::vector<intptr_t> Steps;
    } cases[] = {
        {"a run of five cells", {{5, 0}}, {1, 2, 3, 4}},
        {"counts 0 and 1 make no step", {{0, 0}, {1, 0}, {3, 0}}, {1, 2}},
        {"a new request restarts the run", {{10, 0}, {4, 3}}, {1, 2, 3, 1, 2, 3}},
        {"the last of several waiting requests wins", {{10, 0}, {6, 2}, {3, 2}}, {1, 2, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TEvent event;
        TLayoutWindow window;
        TNailsLayout layout(window, &event);
        std::vector<intptr_t> steps;
        size_t next = 0;
        auto requestDue = [&] {
            while (next < c.Requests.size() &&
                   c.Requests[next].AfterSteps == static_cast<int>(steps.size()))
                EXPECT_TRUE(layout.RequestLayout(c.Requests[next++].Count));
        };
        requestDue();
        while (steps.size() < c.Steps.size()) {
            const intptr_t step = window.NextStep();
            ASSERT_NE(step, -1) << "after " << steps.size() << " steps";
            steps.push_back(step);
            requestDue(); // made while the step waits for its acknowledgement
            window.Acknowledge(event);
        }
        // Nothing more of these runs: the next step is a marker run's first.
        EXPECT_TRUE(layout.RequestLayout(2));
        EXPECT_EQ(window.NextStep(), 1);
        window.Acknowledge(event);
        EXPECT_EQ(steps, c.Steps);
        EXPECT_EQ(window.MostOutstanding(), 1);
    }
}

TEST(NailsLayout, EndsOnQuitOrAnyOtherMessage) {
    // Freed in the middle of a run that the control no longer acknowledges.
    TEvent event;
    TLayoutWindow window;
    {
        TNailsLayout layout(window, &event);
        layout.RequestLayout(50);
        EXPECT_EQ(window.NextStep(), 1);
        EXPECT_TRUE(layout.Post(WM_USER + 1));
        window.Acknowledge(event);
        layout.WaitFor();
        EXPECT_FALSE(layout.RequestLayout(3));
    }
    EXPECT_EQ(window.Queue.Size(), 0u);
}
