// A window holding the KivPlayer control: opens the recording given on the
// command line, plays it and prints the control's events.
//   embed ADDRESS [--seek MS] [--quit-on-position] [--timeout MS]
// --seek moves to MS once playing starts; the control answers a seek with
// OnPositionChanged, on which --quit-on-position ends the program.
#include "ui/kiv_player_ctrl.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace {

class TEventPrinter : public kiv::IKivPlayerEvents {
public:
    bool QuitOnPosition = false;
    std::function<void()> Playing; // run once, after the event

    void OnCreate() override { Print("OnCreate"); }
    void OnDestroy() override { Print("OnDestroy"); }
    void OnClick() override { Print("OnClick"); }
    void OnDblClick() override { Print("OnDblClick"); }
    void OnSkip(int32_t seconds) override { Print("OnSkip", seconds); }
    void OnPlayStateChanged(kiv::TStatus state) override {
        Print("OnPlayStateChanged", state);
        if (state == kiv::vpPlaying && Playing)
            QTimer::singleShot(0, qApp, std::exchange(Playing, {}));
    }
    void OnDisplayModeChanged(kiv::TDisplayMode mode) override {
        Print("OnDisplayModeChanged", mode);
    }
    void OnPositionChanged(int32_t ms) override {
        Print("OnPositionChanged", ms);
        // Queued, as above: the control is inside its own message handling here.
        if (QuitOnPosition) QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
    }

private:
    static void Print(const char* event) {
        std::printf("%s\n", event);
        std::fflush(stdout);
    }
    static void Print(const char* event, long value) {
        std::printf("%s %ld\n", event, value);
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string address;
    TEventPrinter events;
    int timeoutMs = 0;
    int seekMs = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quit-on-position") == 0) {
            events.QuitOnPosition = true;
        } else if (std::strcmp(argv[i], "--seek") == 0 && i + 1 < argc) {
            seekMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutMs = std::atoi(argv[++i]);
        } else {
            address = argv[i];
        }
    }
    if (address.empty()) {
        std::fprintf(stderr,
                     "usage: embed ADDRESS [--seek MS] [--quit-on-position] [--timeout MS]\n");
        return 2;
    }

    QMainWindow window;
    auto* ctrl = new kiv::ui::TKivPlayerCtrl(&window, &events);
    ctrl->Notices.Error = [](const std::string& text) {
        std::fprintf(stderr, "error: %s\n", text.c_str());
    };
    if (seekMs >= 0) events.Playing = [ctrl, seekMs] { ctrl->Core().SetCurrentPosition(seekMs); };
    window.setCentralWidget(ctrl);
    window.resize(800, 600);
    window.show();

    if (timeoutMs > 0) {
        QTimer::singleShot(timeoutMs, &app, [] {
            std::fprintf(stderr, "embed: timed out\n");
            QApplication::exit(1);
        });
    }
    if (ctrl->Core().Open(address) != kiv::S_OK) {
        std::fprintf(stderr, "embed: %s\n", kiv::GetErrorInfo().c_str());
        return 1;
    }
    // The printer outlives the window, so the control's last events reach it.
    return app.exec();
}
