// The thumbnail strip built from a local index of 120 (run under xvfb-run or on
// the offscreen platform): from Open to the last cell shown, and the longest
// stretch the control's thread was busy without coming back to its event loop
// meanwhile (goal: under 12 ms), over several opens.
// Usage: bench_nails RECORDING [RUNS] [PNG]
#include "ui/kiv_player_ctrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_nails RECORDING [RUNS] [PNG]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QApplication app(argc, argv);
    kiv::ui::TKivPlayerCtrl ctrl;
    ctrl.resize(495, 410);
    ctrl.Core().SetAutoStart(false);
    ctrl.show();

    // A timer due every millisecond: the gaps between its shots are the time
    // the thread spent elsewhere in one go.
    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = 0, longestGap = 0;
    bool measuring = false;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring) longestGap = std::max(longestGap, now - lastBeat);
        lastBeat = now;
    });
    beat.start();

    std::vector<double> shown, busy;
    for (int run = 0; run < runs; ++run) {
        QEventLoop loop;
        qint64 full = -1;
        ctrl.frmNails()->NailAdded = [&] {
            if (ctrl.frmNails()->NailCount() == int(kiv::kMaxNailsShown))
                full = clock.nsecsElapsed();
        };
        // Shown: the thread has come back to its loop (and painted) after the last cell.
        QObject::connect(&beat, &QTimer::timeout, &loop, [&] {
            if (full >= 0) loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        ctrl.Core().Close();
        app.processEvents();
        longestGap = 0;
        lastBeat = clock.nsecsElapsed();
        measuring = true;
        const qint64 start = clock.nsecsElapsed();
        if (ctrl.Core().Open(argv[1]) != kiv::S_OK) return 1;
        loop.exec();
        measuring = false;
        if (full < 0) {
            std::fprintf(stderr, "the strip never held 120 cells\n");
            return 1;
        }
        shown.push_back(double(clock.nsecsElapsed() - start) / 1e6);
        busy.push_back(double(longestGap) / 1e6);
    }
    std::sort(shown.begin(), shown.end());
    std::sort(busy.begin(), busy.end());
    std::printf("open to the last of 120 cells shown: median %.1f ms, worst %.1f ms (%d opens)\n",
                shown[shown.size() / 2], shown.back(), runs);
    std::printf("longest busy stretch of the control's thread meanwhile: median %.2f ms, "
                "worst %.2f ms (goal: under 12 ms)\n",
                busy[busy.size() / 2], busy.back());
    if (argc > 3) {
        ctrl.grab().save(argv[3]);
        // The strip pulled up by its splitter, for a look at several rows, one
        // of them the moment played.
        ctrl.frmNails()->setFixedHeight(200);
        ctrl.frmNails()->SelectNailByTime(40);
        app.processEvents();
        ctrl.grab().save(QString(argv[3]).replace(".png", "-tall.png"));
    }
    return 0;
}
