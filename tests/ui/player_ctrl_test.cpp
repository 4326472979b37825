#include "control/time_text.h"
#include "support/kiv_script.h"
#include "support/png_reader.h"
#include "synth/synth.h"
#include "ui/about_form.h"
#include "ui/captions.h"
#include "ui/kiv_player_ctrl.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <cstring>

namespace kiv::ui {
namespace {

using test::App;

class TSink : public IKivPlayerEvents {
public:
    explicit TSink(test::TWaiter& w) : FWaiter(w) {}
    void OnClick() override { Form.push_back("click"); }
    void OnDblClick() override { Form.push_back("dblclick"); }
    void OnKeyPress(int16_t& key) override {
        Form.push_back("key " + std::string(1, static_cast<char>(key)));
    }
    std::vector<std::string> Form;
    void OnPlayStateChanged(TStatus s) override {
        States.push_back(s);
        FWaiter.Notify();
    }
    void OnDisplayModeChanged(TDisplayMode m) override {
        Modes.push_back(m);
        FWaiter.Notify();
    }
    std::vector<TStatus> States;
    std::vector<TDisplayMode> Modes;

private:
    test::TWaiter& FWaiter;
};

class PlayerCtrlTest : public ::testing::Test {
protected:
    PlayerCtrlTest() {
        App();
        SetChineseCaptions(false);
        Script.Key(0, MakeColor(200, 0, 0))
            .Region(500, skReplacement, {10, 10, 110, 60}, MakeColor(0, 200, 0))
            .Key(1000, MakeColor(0, 0, 200))
            .Region(1500, skReplacement, {100, 50, 250, 150}, MakeColor(10, 20, 30))
            .Marker(3000);
        Script.Write(Path);
    }

    std::unique_ptr<TKivPlayerCtrl> NewCtrl(TSink& sink) {
        auto c = std::make_unique<TKivPlayerCtrl>(nullptr, &sink);
        c->Notices.PositionAnswered = [this](uint32_t) {
            ++Answers;
            Waiter.Notify();
        };
        c->Notices.Error = [this](const std::string&) { Waiter.Notify(); };
        c->show();
        return c;
    }
    // Opens the recording without playing it.
    void Open(TKivPlayerCtrl& c, TSink& sink) {
        c.Core().SetAutoStart(false);
        ASSERT_EQ(c.Core().Open(Path), S_OK);
        ASSERT_TRUE(Waiter.Until([&] { return c.Core().PlayState() == vpOpened; }));
        (void)sink;
    }

    test::TScriptDir Dir;
    std::string Path = Dir.File("ui.kiv");
    test::TScript Script{300, 200};
    test::TWaiter Waiter;
    int Answers = 0;
};

TEST_F(PlayerCtrlTest, CaptionsFollowTheLanguage) {
    struct TCase {
        const char* Name;
        const char* Chinese;
        const char* English;
    };
    const TCase cases[] = {
        {"miDisplayMode", "显示模式", "Display Mode"},
        {"miFull", "全屏幕(双击鼠标左键)", "Full screen (Double Click)"},
        {"miOriginal", "实际大小", "Original size"},
        {"miAdaptive", "自适应", "Full of window"},
        {"miStatus", "统计信息", "Statistic"},
        {"miAbout", "关于", "About"},
        {"frmStatus", "统计信息", "Statistic"},
        {"gbBuffer", "缓冲状态", "Buffer status"},
        {"labFrom2", "开始：", "Start:"},
        {"labTo2", "结束：", "Stop:"},
        {"labFrames2", "帧数：", "Frames:"},
        {"labBytes2", "字节：", "Bytes:"},
        {"labBPS2", "速度：", "Speed:"},
        {"labDuration2", "长度：", "Length:"},
        {"btnClose", "关闭", "Close"},
        {"frmAbout", "关于", "About"},
        {"btnOK", "确定", "OK"},
        {"Label1", "Corvale KivPlayer ", "Corvale KivPlayer "},
    };
    for (bool chinese : {true, false}) {
        SetChineseCaptions(chinese);
        TSink sink(Waiter);
        auto c = NewCtrl(sink);
        c->ShowStatus();
        c->ShowAbout();
        for (const TCase& k : cases) {
            QObject* o = c->findChild<QObject*>(k.Name);
            ASSERT_NE(o, nullptr) << k.Name;
            QString text;
            if (auto* a = qobject_cast<QAction*>(o)) text = a->text();
            if (auto* l = qobject_cast<QLabel*>(o)) text = l->text();
            if (auto* b = qobject_cast<QAbstractButton*>(o)) text = b->text();
            if (auto* g = qobject_cast<QGroupBox*>(o)) text = g->title();
            if ((o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) ||
                k.Name == std::string("frmStatus"))
                text = static_cast<QWidget*>(o)->windowTitle();
            EXPECT_EQ(text.toStdString(), chinese ? k.Chinese : k.English) << k.Name;
        }
    }
}

TEST_F(PlayerCtrlTest, TheFormsEventsReachTheSink) {
    struct TCase {
        const char* Name;
        std::function<void(TKivPlayerCtrl&)> Do;
        std::vector<std::string> Fired;
    };
    const TCase cases[] = {
        {"click on the form",
         [](TKivPlayerCtrl& c) { QTest::mouseClick(&c, Qt::LeftButton); },
         {"click"}},
        {"click on the frame",
         [](TKivPlayerCtrl& c) { QTest::mouseClick(c.frmDetail()->viewport(), Qt::LeftButton); },
         {"click"}},
        {"click on the picture",
         [](TKivPlayerCtrl& c) { QTest::mouseClick(c.frmDetail()->imgPic(), Qt::LeftButton); },
         {"click"}},
        {"double click on the form",
         [](TKivPlayerCtrl& c) { QTest::mouseDClick(&c, Qt::LeftButton); },
         {"dblclick"}},
        // A character typed into a child reaches the form first.
        {"key on the picture",
         [](TKivPlayerCtrl& c) { QTest::keyClick(c.frmDetail()->imgPic(), Qt::Key_A); },
         {"key a"}},
        {"a key that is no character",
         [](TKivPlayerCtrl& c) { QTest::keyClick(&c, Qt::Key_F5); },
         {}},
    };
    for (const TCase& k : cases) {
        TSink sink(Waiter);
        auto c = NewCtrl(sink);
        c->frmDetail()->SetPicture(100, 100, dmAdaptive);
        k.Do(*c);
        EXPECT_EQ(sink.Form, k.Fired) << k.Name;
    }
}

TEST_F(PlayerCtrlTest, TheMenuOpensOnTheRightButtonAndChecksTheMode) {
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(c->frmDetail()->imgPic(), &menu);
    EXPECT_TRUE(c->pmKiv()->isVisible());
    c->pmKiv()->hide();
    auto* modes = c->findChild<QAction*>("miDisplayMode")->menu();
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { c->Core().ChooseOriginal(); }, "miOriginal"},
        {[&] { c->Core().ChooseAdaptive(); }, "miAdaptive"},
        {[&] { c->Core().ChooseFullScreen(); }, "miFull"},
    };
    for (const auto& [choose, checked] : cases) {
        choose();
        modes->popup(QPoint(0, 0));
        for (const char* name : {"miOriginal", "miAdaptive", "miFull"})
            EXPECT_EQ(c->findChild<QAction*>(name)->isChecked(), name == std::string(checked))
                << checked << " " << name;
        modes->hide();
    }
}

TEST_F(PlayerCtrlTest, TheFormsFaceNamesHaveChineseGlyphs) {
    InstallFontSubstitutes();
    for (const char* face : {"宋体", "Arial", "MS Sans Serif"}) {
        const QFontMetrics m{QFont(QString::fromUtf8(face))};
        for (QChar ch : QString::fromUtf8("确定统计信息"))
            EXPECT_TRUE(m.inFont(ch)) << face;
    }
}

TEST_F(PlayerCtrlTest, StatisticsAfterAFailedOpenAndClosedWithTheSource) {
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    ASSERT_EQ(c->Core().Open(Dir.File("missing.kiv")), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return c->findChild<QMessageBox*>("msgError") != nullptr; }));
    // Repeated failures do not pile up boxes.
    c->ShowError("again", TFailureKind::Player);
    c->ShowError("and again", TFailureKind::Player);
    EXPECT_EQ(c->findChildren<QMessageBox*>().size(), 1);
    c->ShowStatus();
    ASSERT_NE(c->frmStatus(), nullptr);
    EXPECT_EQ(c->frmStatus()->pos(), QPoint(0, 0));
    auto label = [&](const char* name) {
        return c->frmStatus()->findChild<QLabel*>(name)->text().toStdString();
    };
    // No reading thread: the first figures stay.
    for (auto [name, text] : {std::pair{"labFrom", "00:00:00"},
                              {"labTo", "00:00:00"},
                              {"labFrames", "0"},
                              {"labBytes", "0K"},
                              {"labBPS", "0 kbps"},
                              {"labDuration", "00:00:00"}})
        EXPECT_EQ(label(name), text) << name;

    Open(*c, sink);
    c->ShowStatus();
    const TStatistics s = c->Core().Statistics();
    EXPECT_EQ(label("labFrames"), std::to_string(s.Samples));
    EXPECT_EQ(label("labBytes"), std::to_string(static_cast<uint32_t>(s.Bytes) >> 10) + "K");
    EXPECT_EQ(label("labBPS"), std::to_string(s.BitRate) + " Kbps");
    EXPECT_EQ(label("labDuration"), TimeText(c->Core().Duration()));
    ASSERT_EQ(c->Core().Close(), S_OK);
    EXPECT_EQ(c->frmStatus(), nullptr);
}

TEST_F(PlayerCtrlTest, AboutShowsTheLibrarysVersionCentred) {
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    c->ShowAbout();
    auto* about = c->findChild<QDialog*>("frmAbout");
    ASSERT_NE(about, nullptr);
    auto* version = about->findChild<QLabel*>("labVersion");
    EXPECT_EQ(version->text().toStdString(), "4.1.0.885");
    EXPECT_EQ(version->x(), (about->width() - version->width()) / 2);
    EXPECT_TRUE(about->findChild<QLabel*>("Label1")->font().bold());
}

TEST_F(PlayerCtrlTest, EachWayOutOfFullScreenReturnsOnceToTheSavedMode) {
    struct TCase {
        const char* Name;
        std::function<void(TfrmFullScreen&)> Leave;
    };
    const TCase cases[] = {
        {"Esc", [](TfrmFullScreen& f) { QTest::keyRelease(&f, Qt::Key_Escape); }},
        {"F7", [](TfrmFullScreen& f) { QTest::keyRelease(&f, Qt::Key_F7); }},
        {"right up",
         [](TfrmFullScreen& f) {
             QTest::mousePress(f.imgPic(), Qt::RightButton);
             QTest::mouseRelease(f.imgPic(), Qt::RightButton);
         }},
        {"double click", [](TfrmFullScreen& f) { QTest::mouseDClick(f.imgPic(), Qt::LeftButton); }},
        {"system close", [](TfrmFullScreen& f) { f.close(); }},
    };
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    c->Core().ChooseOriginal();
    Open(*c, sink);
    for (const TCase& k : cases) {
        sink.Modes.clear();
        c->Core().ChooseFullScreen();
        ASSERT_NE(c->frmFullScreen(), nullptr) << k.Name;
        EXPECT_EQ(c->Picture(), c->frmFullScreen()->imgPic()) << k.Name;
        k.Leave(*c->frmFullScreen());
        ASSERT_TRUE(Waiter.Until([&] { return c->Core().DisplayMode() == dmOriginal; })) << k.Name;
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(sink.Modes, (std::vector<TDisplayMode>{dmFull, dmOriginal})) << k.Name;
        EXPECT_EQ(c->frmFullScreen(), nullptr) << k.Name;
        EXPECT_EQ(c->Picture(), c->frmDetail()->imgPic()) << k.Name;
    }
}

TEST_F(PlayerCtrlTest, TwoControlsEachKeepTheirOwnFullScreenWindow) {
    TSink sink1(Waiter), sink2(Waiter);
    auto c1 = NewCtrl(sink1);
    auto c2 = NewCtrl(sink2);
    Open(*c1, sink1);
    Open(*c2, sink2);
    c1->Core().ChooseFullScreen();
    c2->Core().ChooseFullScreen();
    ASSERT_NE(c1->frmFullScreen(), nullptr);
    ASSERT_NE(c2->frmFullScreen(), nullptr);
    EXPECT_NE(c1->frmFullScreen(), c2->frmFullScreen());
    QTest::keyRelease(c1->frmFullScreen(), Qt::Key_Escape);
    ASSERT_TRUE(Waiter.Until([&] { return c1->Core().DisplayMode() == dmAdaptive; }));
    EXPECT_EQ(c1->frmFullScreen(), nullptr);
    ASSERT_NE(c2->frmFullScreen(), nullptr);
    EXPECT_EQ(c2->Core().DisplayMode(), dmFull);
}

TEST_F(PlayerCtrlTest, ASeekInOriginalSizeLeavesTheRecordedPicture) {
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    c->Core().ChooseOriginal();
    Open(*c, sink);
    ASSERT_EQ(c->Core().SetCurrentPosition(1600), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return Answers > 0; }));
    QCoreApplication::sendPostedEvents();
    const QImage& got = c->frmDetail()->imgPic()->Bitmap();
    const TBitmap24 want = Script.Expected(Script.IndexOf(1500));
    ASSERT_EQ(got.size(), QSize(want.Width(), want.Height()));
    for (int y = 0; y < want.Height(); ++y)
        ASSERT_EQ(std::memcmp(got.constScanLine(y), want.Row(y), 3 * size_t(want.Width())), 0)
            << "row " << y;
}

TEST_F(PlayerCtrlTest, ASeekInOriginalSizeShowsWhatKivtoolSnapshotWrites) {
    const std::string rec = Dir.File("synth.kiv"), png = Dir.File("at.png");
    synth::TSynthOptions options;
    options.Seconds = 8;
    options.Width = 640;
    options.Height = 400;
    synth::WriteSynthRecording(rec, options);
    const std::string kivtool = std::string(KIV_BINARY_DIR) + "/apps/kivtool/kivtool";
    ASSERT_EQ(std::system((kivtool + " snapshot " + rec + " 5500 " + png + " >/dev/null").c_str()),
              0);
    test::TRgbImage want;
    ASSERT_TRUE(test::ReadPngRgb(png, want));

    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    c->Core().ChooseOriginal();
    c->Core().SetAutoStart(false);
    ASSERT_EQ(c->Core().Open(rec), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return c->Core().PlayState() == vpOpened; }));
    ASSERT_EQ(c->Core().SetCurrentPosition(5500), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return Answers > 0; }));
    const QImage got = c->frmDetail()->imgPic()->Bitmap().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(got.size(), QSize(int(want.Width), int(want.Height)));
    for (uint32_t y = 0; y < want.Height; ++y)
        ASSERT_EQ(std::memcmp(got.constScanLine(int(y)), want.Row(y), 3 * size_t{want.Width}), 0)
            << "row " << y;
}

TEST_F(PlayerCtrlTest, AWholeRepaintInAdaptiveIsThePictureScaledByTheZoom) {
    TSink sink(Waiter);
    auto c = NewCtrl(sink);
    c->resize(150, 150); // 300 x 200 at 50 %
    Open(*c, sink);
    ASSERT_EQ(c->Core().SetCurrentPosition(1600), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return Answers > 0; }));
    TImagePic* pic = c->frmDetail()->imgPic();
    ASSERT_EQ(c->frmDetail()->Zoom(), 50);
    ASSERT_EQ(pic->Bitmap().size(), QSize(150, 100));
    bool whole = false;
    pic->OnPainted = [&](const QRect& r) {
        whole = whole || r == pic->rect();
        Waiter.Notify();
    };
    c->Core().RefreshPicture();
    ASSERT_TRUE(Waiter.Until([&] { return whole; }));

    const TBitmap24 picture = Script.Expected(Script.IndexOf(1500));
    TBitmap24 want;
    ASSERT_TRUE(want.Create(150, 100));
    ScaleRectBilinear(PixelsOf(want), want.Bounds(), PixelsOf(picture), picture.Bounds());
    const QImage& got = pic->Bitmap();
    for (int y = 0; y < want.Height(); ++y)
        ASSERT_EQ(std::memcmp(got.constScanLine(y), want.Row(y), 3 * size_t(want.Width())), 0)
            << "row " << y;
}

} // namespace
} // namespace kiv::ui
