// File → Export… drives an export of the open recording on a worker thread; the
// progress dialog shows while the window stays usable, and Cancel leaves nothing.
#include "export/exporter.h"
#include "player_window.h"
#include "support/kiv_script.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>

#include <filesystem>

namespace kivplayer {
namespace {

TEST(KivplayerExport, TheDialogExportsWithProgressAndCancels) {
    kiv::test::App();
    QStandardPaths::setTestModeEnabled(true);
    kiv::test::TScriptDir dir;
    const std::string path = dir.File("rec.kiv");
    kiv::test::TScript script{64, 48};
    script.Key(0, kiv::MakeColor(200, 0, 0))
        .Marker(1000)
        .Key(2000, kiv::MakeColor(0, 0, 200))
        .Marker(3000)
        .Key(6000, kiv::MakeColor(0, 200, 0));
    script.Write(path);

    TOptions options;
    options.AutoStart = false;
    TPlayerWindow window(options);
    window.show();
    kiv::test::TWaiter waiter;
    kiv::ui::TKivPlayerCtrl& ctrl = window.Control();
    bool scanned = false;
    ctrl.Notices.ActivityScanned = [&, strip = ctrl.Notices.ActivityScanned] {
        if (strip) strip();
        scanned = true;
        waiter.Notify();
    };
    window.OpenAddress(QString::fromStdString(path));
    ASSERT_TRUE(waiter.Until([&] { return scanned; }));

    std::vector<kiv::TExportResult> results;
    window.ExportDone = [&](const kiv::TExportResult& r) {
        results.push_back(r);
        waiter.Notify();
    };
    struct TCase {
        const char* Name;
        int Format, Range;
        bool Cancel;
        int Code;
    };
    const TCase cases[] = {
        {"out.mkv", 2, 2, false, 0},                     // between the markers
        {"pics", 4, 0, false, 0},                        // the whole recording as pictures
        {"gone.mp4", 0, 0, true, kiv::kExportCancelled}, // cancelled at once
    };
    const char* shots = std::getenv("KIV_SCREENSHOT_DIR");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        window.findChild<QAction*>("miExport")->trigger();
        auto* dialog = window.findChild<QDialog*>("dlgExport");
        ASSERT_TRUE(dialog);
        dialog->findChild<QComboBox*>("cbFormat")->setCurrentIndex(c.Format);
        dialog->findChild<QComboBox*>("cbRange")->setCurrentIndex(c.Range);
        // From the first marker to the second.
        dialog->findChild<QComboBox*>("cbFromMarker")->setCurrentIndex(1);
        dialog->findChild<QComboBox*>("cbToMarker")->setCurrentIndex(1);
        auto* output = dialog->findChild<QLineEdit*>("edOutput");
        const QString suffix = c.Format == 4 ? "/" : "";
        output->setText(QString::fromStdString(dir.File(c.Name)) + suffix);
        if (shots) dialog->grab().save(QString(shots) + "/export-dialog.png");
        const size_t before = results.size();
        dialog->findChild<QPushButton*>("btnExport")->click();
        auto* progress = window.findChild<QProgressDialog*>("dlgExportProgress");
        ASSERT_TRUE(progress);
        if (shots) progress->grab().save(QString(shots) + "/export-progress.png");
        if (c.Cancel) progress->findChild<QPushButton*>()->click();
        ASSERT_TRUE(waiter.Until([&] { return results.size() > before; }));
        const kiv::TExportResult& r = results.back();
        EXPECT_EQ(r.Code, c.Code) << r.Message;
        EXPECT_EQ(std::filesystem::exists(dir.File(c.Name)), c.Code == 0);
        EXPECT_FALSE(std::filesystem::exists(dir.File(c.Name) + ".part"));
        if (c.Code == 0) {
            EXPECT_GT(r.Frames, 0u);
        }
        // The run is gone: the window takes the next one.
        EXPECT_FALSE(window.findChild<QProgressDialog*>("dlgExportProgress"));
    }
    // Between the markers, 1000 to 3000: the red picture, then the blue key frame at 1000 ms.
    EXPECT_EQ(results[0].Frames, 2u);
}

} // namespace
} // namespace kivplayer
