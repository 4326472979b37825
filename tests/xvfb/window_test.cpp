// kivplayer's window on a real X server: run under xvfb-run.
#include "player_window.h"
#include "support/kiv_script.h"
#include "synth/synth.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace kivplayer {
namespace {

// Wakes the waiter when the window becomes active (keys reach shortcuts only then).
class TActivation : public QObject {
public:
    explicit TActivation(kiv::test::TWaiter& w) : FWaiter(w) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::WindowActivate) FWaiter.Notify();
        return false;
    }

private:
    kiv::test::TWaiter& FWaiter;
};

TEST(KivplayerWindow, PlaysARecordingOnScreen) {
    kiv::test::App();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    kiv::test::TScriptDir dir;
    const std::string path = dir.File("demo.kiv");
    kiv::synth::TSynthOptions synth;
    synth.Seconds = 10;
    synth.Width = 640;
    synth.Height = 400;
    kiv::synth::WriteSynthRecording(path, synth);

    kiv::test::TWaiter waiter;
    TOptions options;
    options.SizeGiven = true; // not the size a previous run left
    options.Width = 700;
    options.Height = 460;
    TPlayerWindow window(options);
    window.StateChanged = [&](kiv::TStatus) { waiter.Notify(); };
    int answers = 0;
    window.Control().Notices.PositionAnswered = [&](uint32_t) {
        ++answers;
        waiter.Notify();
    };
    window.ModeChanged = [&](kiv::TDisplayMode) { waiter.Notify(); };
    window.show();
    window.OpenAddress(QString::fromStdString(path));
    kiv::TKivPlayerCore& core = window.Control().Core();
    ASSERT_TRUE(waiter.Until([&] { return core.PlayState() == kiv::vpPlaying; }));
    ASSERT_EQ(core.SetCurrentPosition(3000), kiv::S_OK);
    ASSERT_TRUE(waiter.Until([&] { return answers > 0; }));
    QCoreApplication::sendPostedEvents();
    window.repaint();
    QCoreApplication::processEvents(); // the paint is flushed to the server
    QGuiApplication::sync();           // the X server has drawn it all

    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const std::string out = std::string(KIV_BINARY_DIR) + "/kivplayer-xvfb.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(out)));
    std::printf("screenshot: %s\n", out.c_str());

    // What the screen shows of the picture is what the control painted.
    const auto* pic = window.Control().frmDetail()->imgPic();
    const QImage bitmap = pic->Bitmap().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(bitmap.isNull());
    const QPoint origin = pic->mapToGlobal(QPoint(0, 0));
    int same = 0, checked = 0, lit = 0;
    for (int y = 0; y < bitmap.height(); y += 37)
        for (int x = 0; x < bitmap.width(); x += 41) {
            const QPoint p = origin + QPoint(x, y);
            if (!shot.rect().contains(p)) continue;
            ++checked;
            same += (shot.pixel(p) & 0xFFFFFF) == (bitmap.pixel(x, y) & 0xFFFFFF);
            lit += (bitmap.pixel(x, y) & 0xFFFFFF) != 0;
        }
    ASSERT_GT(checked, 50);
    EXPECT_EQ(same, checked);
    EXPECT_GT(lit, checked / 2); // a picture, not a black frame

    // F enters full screen on the whole screen; the window manager's close leaves it.
    TActivation activation(waiter);
    window.installEventFilter(&activation);
    window.activateWindow();
    ASSERT_TRUE(waiter.Until([&] { return window.isActiveWindow(); }));
    QTest::keyClick(&window, Qt::Key_F);
    ASSERT_TRUE(waiter.Until([&] { return core.DisplayMode() == kiv::dmFull; }));
    auto* full = window.Control().frmFullScreen();
    ASSERT_NE(full, nullptr);
    EXPECT_TRUE(full->isVisible());
    EXPECT_EQ(full->geometry(), QGuiApplication::primaryScreen()->geometry());
    full->close();
    ASSERT_TRUE(waiter.Until([&] { return core.DisplayMode() == kiv::dmAdaptive; }));
    EXPECT_EQ(window.Control().frmFullScreen(), nullptr);
}

} // namespace
} // namespace kivplayer
