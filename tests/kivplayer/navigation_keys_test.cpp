// The window's keys and buttons for speed, idle skipping and markers.
#include "activity_strip.h"
#include "player_window.h"
#include "support/kiv_script.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

namespace kivplayer {
namespace {

TEST(KivplayerNavigation, KeysStepTheRateAndGoFromMarkerToMarker) {
    kiv::test::App();
    QStandardPaths::setTestModeEnabled(true);
    kiv::test::TScriptDir dir;
    const std::string path = dir.File("rec.kiv");
    kiv::test::TScript script{64, 48};
    script.Key(0, kiv::MakeColor(200, 0, 0))
        .Other(1000, kiv::skMarker, 0, 0, 0, {'A'})
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
    kiv::TKivPlayerCore& core = ctrl.Core();
    std::vector<uint32_t> answered;
    ctrl.Notices.PositionAnswered = [&](uint32_t ms) {
        answered.push_back(ms);
        waiter.Notify();
    };
    bool scanned = false;
    // After the window's own handler, which refreshes the strip.
    ctrl.Notices.ActivityScanned = [&, strip = ctrl.Notices.ActivityScanned] {
        if (strip) strip();
        scanned = true;
        waiter.Notify();
    };
    window.OpenAddress(QString::fromStdString(path));
    ASSERT_TRUE(waiter.Until([&] { return scanned; }));

    struct TKey {
        QKeySequence Key;
        double Rate;
    } rates[] = {{QKeySequence("]"), 1.1},  {QKeySequence("}"), 2.2},
                 {QKeySequence("["), 2.0},  {QKeySequence("{"), 1.0},
                 {QKeySequence("{"), 0.5},  {QKeySequence("{"), 0.25},
                 {QKeySequence("{"), 0.25}, {QKeySequence(Qt::Key_Backspace), 1.0}};
    for (const auto& k : rates) {
        SCOPED_TRACE(k.Key.toString().toStdString());
        QTest::keySequence(&window, k.Key);
        EXPECT_NEAR(core.Rate(), k.Rate, 1e-9);
    }

    auto* skip = window.findChild<QToolButton*>("btnSkipIdle");
    ASSERT_NE(skip, nullptr);
    skip->click();
    EXPECT_TRUE(core.SkipIdle());

    EXPECT_EQ(window.findChild<TActivityStrip*>("stripActivity")->Markers().size(), 2u);
    for (auto [key, to] :
         {std::pair{Qt::Key_PageDown, 1000u}, {Qt::Key_PageDown, 3000u}, {Qt::Key_PageUp, 1000u}}) {
        answered.clear();
        QTest::keyClick(&window, key);
        ASSERT_TRUE(waiter.Until([&] { return !answered.empty(); }));
        EXPECT_EQ(answered.back(), to);
    }
}

} // namespace
} // namespace kivplayer
