// kivplayer: the desktop player, the control above a transport bar.
#include "options.h"
#include "player_window.h"
#include "script_host.h"

#include "platform/heap_tuning.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        kivplayer::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "kivplayer: %s\n%s", error.c_str(), kivplayer::kUsage);
        return 2;
    }
    if (options->Help) {
        std::fputs(kivplayer::kUsage, stdout);
        return 0;
    }
    if (options->Version) {
        std::printf("kivplayer %s\n", KIV_FILE_VERSION);
        return 0;
    }
    kiv::TunePlayerHeap();
    QApplication app(argc, argv);
    kivplayer::TPlayerWindow window(*options);
    window.show();
    // Declared after the window: it detaches from the control before the control goes.
    std::unique_ptr<kivplayer::TScriptHost> host;
    if (!options->Script.empty()) {
        host = std::make_unique<kivplayer::TScriptHost>(window.Control());
        if (!host->Run(QString::fromStdString(options->Script), &error)) {
            std::fprintf(stderr, "kivplayer: %s\n", error.c_str());
            return 2;
        }
        if (host->ExitCode()) return *host->ExitCode();
    }
    if (!options->Address.empty()) window.OpenAddress(QString::fromStdString(options->Address));
    return app.exec();
}
