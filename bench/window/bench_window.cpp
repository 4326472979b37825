// The control in a real window (run under xvfb-run): from the play thread's
// notice of a changed rectangle to the end of the paint that shows it, playing
// at 1x in dmOriginal (goal: p99 at most 16 ms); then the process's CPU time
// playing in dmAdaptive, for the script to hold against kivtool play.
// Usage: bench_window RECORDING SECONDS
#include "platform/kiv_messages.h"
#include "ui/kiv_player_ctrl.h"

#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// Notes when each changed rectangle was posted, on the play thread.
class TTimedCtrl : public kiv::ui::TKivPlayerCtrl {
public:
    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        if (msg == kiv::WM_PICTURECHANGED && Measuring) {
            std::lock_guard g(Lock);
            Pending.push_back({kiv::UnpackRect(wParam, lParam), TClock::now()});
        }
        return TKivPlayerCtrl::Post(msg, wParam, lParam);
    }
    struct TPosted {
        kiv::TRect Rect;
        TClock::time_point At;
    };
    std::mutex Lock;
    std::deque<TPosted> Pending;
    std::atomic<bool> Measuring{false};
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_window RECORDING SECONDS\n");
        return 2;
    }
    const int seconds = std::max(1, std::atoi(argv[2]));
    QApplication app(argc, argv);
    TTimedCtrl ctrl;
    ctrl.resize(1300, 760);
    ctrl.show();
    std::vector<double> latencies;
    // In dmOriginal the painted rectangle is the posted one.
    ctrl.frmDetail()->imgPic()->OnPainted = [&](const QRect& r) {
        const auto now = TClock::now();
        std::lock_guard g(ctrl.Lock);
        for (auto it = ctrl.Pending.begin(); it != ctrl.Pending.end();) {
            const QRect posted(it->Rect.Left, it->Rect.Top, int(it->Rect.Width()),
                               int(it->Rect.Height()));
            if (r.contains(posted)) {
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(now - it->At).count());
                it = ctrl.Pending.erase(it);
            } else {
                ++it;
            }
        }
    };
    // First the CPU time of the opening seconds in dmAdaptive at the control's
    // own size, the seconds kivtool play covers; then the latency in dmOriginal.
    ctrl.Measuring = false;
    ctrl.resize(495, 410);
    const double cpuStart = CpuSeconds();
    if (ctrl.Core().Open(argv[1]) != kiv::S_OK) return 1;
    double cpu = 0, cpuAfterFirst = 0, cpuProcess = 0;
    // Without the first second: the window's one-off start (fonts, first paints).
    QTimer::singleShot(1000, [&] { cpuAfterFirst = CpuSeconds(); });
    QTimer::singleShot(seconds * 1000, [&] {
        cpuAfterFirst = CpuSeconds() - cpuAfterFirst;
        cpuProcess = CpuSeconds();
        cpu = cpuProcess - cpuStart;
        ctrl.resize(1300, 760);
        ctrl.Core().ChooseOriginal();
        ctrl.Measuring = true;
        QTimer::singleShot(seconds * 1000, [&] {
            std::sort(latencies.begin(), latencies.end());
            auto at = [&](double f) {
                return latencies.empty() ? 0.0 : latencies[size_t(f * (latencies.size() - 1))];
            };
            std::printf("sample to screen: %zu rectangles, median %.2f ms, p99 %.2f ms "
                        "(goal: p99 at most 16 ms)\n",
                        latencies.size(), at(0.5), at(0.99));
            std::printf("window cpu: %.3f s for the process through %d s of dmAdaptive "
                        "(%.3f s from the open, %.3f s without the first second)\n",
                        cpuProcess, seconds, cpu, cpuAfterFirst);
            app.quit();
        });
    });
    return app.exec();
}
