// A click on a thumbnail: the control only tells; the player moves there.
#include "player_window.h"
#include "support/kiv_script.h"
#include "synth/synth.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTest>

namespace kivplayer {
namespace {

TEST(KivplayerSkip, AClickedThumbnailSeeksToItsTime) {
    kiv::test::App();
    QStandardPaths::setTestModeEnabled(true); // the recent list stays out of the user's settings
    kiv::test::TScriptDir dir;
    const std::string path = dir.File("rec.kiv");
    kiv::test::TScript script{300, 200};
    script.Key(0, kiv::MakeColor(200, 0, 0))
        .Key(1000, kiv::MakeColor(0, 0, 200))
        .Key(2000, kiv::MakeColor(0, 200, 0))
        .Marker(3000);
    script.Write(path);
    kiv::synth::TSynthOptions o;
    o.Width = 300;
    o.Height = 200;
    kiv::synth::WriteSynthNails(path, o, 3000, 3); // at 0, 1 and 2 seconds

    TOptions options;
    options.AutoStart = false;
    TPlayerWindow window(options);
    window.show();
    kiv::test::TWaiter waiter;
    std::vector<uint32_t> answered;
    kiv::ui::TKivPlayerCtrl& ctrl = window.Control();
    ctrl.Notices.PositionAnswered = [&](uint32_t ms) {
        answered.push_back(ms);
        waiter.Notify();
    };
    ctrl.frmNails()->NailAdded = [&] { waiter.Notify(); };
    window.OpenAddress(QString::fromStdString(path));
    ASSERT_TRUE(waiter.Until([&] { return ctrl.frmNails()->NailCount() == 3; }));
    for (int cell : {2, 1}) {
        answered.clear();
        QTest::mouseClick(ctrl.frmNails()->findChild<QWidget*>("nailPic" + QString::number(cell)),
                          Qt::LeftButton);
        ASSERT_TRUE(waiter.Until([&] { return !answered.empty(); })) << cell;
        EXPECT_EQ(answered.back(), uint32_t(cell) * 1000);
    }
}

} // namespace
} // namespace kivplayer
