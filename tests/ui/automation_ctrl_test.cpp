// The automation interface on the widget: late binding onto the real control,
// the form's properties reaching the widget, events to a late-bound sink, and
// the script binding in a script engine.
#include "control/dispatch.h"
#include "support/kiv_script.h"
#include "ui/captions.h"
#include "ui/kiv_player_ctrl.h"
#include "ui/script_binding.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJSEngine>
#include <QTest>

namespace kiv::ui {
namespace {

using test::App;

class TStates : public IKivPlayerEvents {
public:
    explicit TStates(test::TWaiter& w) : FWaiter(w) {}
    void OnPlayStateChanged(TStatus s) override {
        Last = s;
        FWaiter.Notify();
    }
    void OnKeyPress(int16_t& key) override {
        if (KeyLeft) key = KeyLeft;
    }
    TStatus Last = vpClosed;
    int16_t KeyLeft = 0;

private:
    test::TWaiter& FWaiter;
};

// A page's sink: DISPIDs and arguments as text.
class TPage : public IDispatchSink {
public:
    HRESULT Invoke(DISPID id, std::vector<TVariant>& args) override {
        std::string s = std::to_string(id);
        for (const TVariant& a : args) {
            s += " " + std::to_string(a.Type == (VT_BYREF | VT_I2) ? *a.Ref : a.Int);
        }
        if (id != 16) Fired.push_back(s); // paints come as they will
        return S_OK;
    }
    std::vector<std::string> Fired;
};

class AutomationCtrlTest : public ::testing::Test {
protected:
    AutomationCtrlTest() {
        App();
        SetChineseCaptions(false);
        test::TScript(40, 30).Key(0, MakeColor(1, 2, 3)).Marker(1200).Write(Path);
        Ctrl = std::make_unique<TKivPlayerCtrl>(nullptr, &States);
        Ctrl->show();
    }
    IKivPlayer& P() { return Ctrl->Automation(); }
    TVariant Get(const char* name) {
        TVariant v;
        EXPECT_EQ(Invoke(P(), MemberIdOfName(name), DISPATCH_PROPERTYGET, {}, &v), S_OK) << name;
        return v;
    }
    HRESULT Put(const char* name, TVariant v) {
        return Invoke(P(), MemberIdOfName(name), DISPATCH_PROPERTYPUT, {std::move(v)}, nullptr);
    }
    HRESULT Call(const char* name, std::vector<TVariant> args = {}) {
        return Invoke(P(), MemberIdOfName(name), DISPATCH_METHOD, args, nullptr);
    }
    QColor FrameColor() { return Ctrl->frmDetail()->viewport()->palette().color(QPalette::Window); }

    test::TScriptDir Dir;
    std::string Path = Dir.File("a.kiv");
    test::TWaiter Waiter;
    TStates States{Waiter};
    std::unique_ptr<TKivPlayerCtrl> Ctrl;
};

TEST_F(AutomationCtrlTest, TheControlsMembersKeepTheirRulesOnTheWidget) {
    for (const char* name : {"Duration", "KivWidth", "KivHeight"})
        EXPECT_EQ(Get(name).Int, 0) << name << " before the first open";
    for (const char* text : {"", "alert(1)"}) {
        SetErrorInfo("");
        EXPECT_EQ(Call("SendScript", {TVariant::Str(text)}), E_UNEXPECTED);
        EXPECT_EQ(GetErrorInfo(), "Not Implement");
    }
    EXPECT_EQ(Put("URL", TVariant::Str("   ")), S_OK);
    EXPECT_EQ(Get("URL").Text, "");
    EXPECT_EQ(Get("Status").Int, vpClosed);

    // 0x00RRGGBB from the host; the frame paints with the exchanged system colour.
    const std::tuple<int32_t, int32_t, QColor> colors[] = {
        {0x00FF0000, 0x00FF0000, QColor(255, 0, 0)},
        {static_cast<int32_t>(0xFF00FF00), 0x0000FF00, QColor(0, 255, 0)},
    };
    for (const auto& [written, read, painted] : colors) {
        EXPECT_EQ(Put("ScreenBackgroundColor", TVariant::I4(written)), S_OK);
        EXPECT_EQ(Get("ScreenBackgroundColor").Int, read);
        EXPECT_EQ(FrameColor(), painted);
        EXPECT_EQ(Put("NailBackgroundColor", TVariant::I4(written)), S_OK);
        EXPECT_EQ(Ctrl->frmNails()->palette().color(QPalette::Window), painted);
    }

    EXPECT_EQ(Put("AutoStart", TVariant::Bool(false)), S_OK);
    EXPECT_EQ(Call("Open", {TVariant::Str(Path)}), S_OK);
    ASSERT_TRUE(Waiter.Until([&] { return States.Last == vpOpened; }));
    EXPECT_EQ(Put("DisplayMode", TVariant::I4(3)), S_OK);
    EXPECT_EQ(Get("DisplayMode").Int, dmAdaptive);
    EXPECT_EQ(Put("FullScreen", TVariant::Bool(true)), S_OK);
    EXPECT_EQ(Put("FullScreen", TVariant::Bool(false)), S_OK);
    EXPECT_EQ(Get("FullScreen").Int, -1);
    EXPECT_NE(Ctrl->frmFullScreen(), nullptr) << "writing false leaves full screen on";
    EXPECT_EQ(Call("Close"), S_OK);
    EXPECT_EQ(Get("Duration").Int, 1200) << "kept after Close";
    EXPECT_EQ(Get("KivWidth").Int, 40);
    EXPECT_EQ(Get("KivHeight").Int, 30);
}

TEST_F(AutomationCtrlTest, TheFormsPropertiesReachTheWidget) {
    auto font = std::make_shared<IFontDisp>();
    font->Name = "DejaVu Serif";
    font->Size = 14;
    font->Bold = font->Strikethrough = true;
    const QPalette app = QApplication::palette();
    struct TCase {
        const char* Name;
        TVariant Value;
        std::function<bool(const TKivPlayerCtrl&)> Holds;
    };
    const TCase cases[] = {
        {"Caption", TVariant::Str("Lesson 3"),
         [](const TKivPlayerCtrl& c) { return c.windowTitle() == "Lesson 3"; }},
        {"Enabled", TVariant::Bool(false), [](const TKivPlayerCtrl& c) { return !c.isEnabled(); }},
        {"Visible", TVariant::Bool(false), [](const TKivPlayerCtrl& c) { return c.isHidden(); }},
        {"DropTarget", TVariant::Bool(true),
         [](const TKivPlayerCtrl& c) { return c.acceptDrops(); }},
        {"Color", TVariant::I4(0x0000FF00), // 0x00BBGGRR: green
         [](const TKivPlayerCtrl& c) {
             return c.palette().color(QPalette::Window) == QColor(0, 255, 0);
         }},
        {"Color", TVariant::I4(0x00FF0000), // blue
         [](const TKivPlayerCtrl& c) {
             return c.palette().color(QPalette::Window) == QColor(0, 0, 255);
         }},
        {"Color", TVariant::I4(static_cast<int32_t>(0x80000005)), // the window colour
         [&](const TKivPlayerCtrl& c) {
             return c.palette().color(QPalette::Window) == app.color(QPalette::Base);
         }},
        {"Color", TVariant::I4(static_cast<int32_t>(0x80000012)), // button text
         [&](const TKivPlayerCtrl& c) {
             return c.palette().color(QPalette::Window) == app.color(QPalette::ButtonText);
         }},
        {"Font", TVariant::Object(font),
         [](const TKivPlayerCtrl& c) {
             const QFont f = c.font();
             return f.family() == "DejaVu Serif" && f.pointSize() == 14 && f.bold() &&
                    f.strikeOut() && !f.italic() && !f.underline();
         }},
        {"Cursor", TVariant::I2(-21),
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::PointingHandCursor; }},
        {"Cursor", TVariant::I2(-4),
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::IBeamCursor; }},
        {"Cursor", TVariant::I2(-11),
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::WaitCursor; }},
        {"Cursor", TVariant::I2(-7),
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::SizeVerCursor; }},
        {"Cursor", TVariant::I2(0),
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::ArrowCursor; }},
        {"Cursor", TVariant::I2(7), // no such cursor: the arrow
         [](const TKivPlayerCtrl& c) { return c.cursor().shape() == Qt::ArrowCursor; }},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(std::string(k.Name) + " " + std::to_string(k.Value.Int));
        ASSERT_EQ(Put(k.Name, k.Value), S_OK);
        EXPECT_TRUE(k.Holds(*Ctrl));
        const TVariant back = Get(k.Name);
        if (k.Value.Type == VT_DISPATCH)
            EXPECT_EQ(back.Font->Name, "DejaVu Serif");
        else
            EXPECT_EQ(back.Type == VT_BSTR ? back.Text : std::to_string(back.Int),
                      k.Value.Type == VT_BSTR
                          ? k.Value.Text
                          : std::to_string(k.Value.Type == VT_BOOL ? (k.Value.Int ? -1 : 0)
                                                                   : k.Value.Int));
    }
    // A system colour without a palette entry is refused and changes nothing.
    const QColor before = Ctrl->palette().color(QPalette::Window);
    EXPECT_EQ(Put("Color", TVariant::I4(static_cast<int32_t>(0x800000FF))), E_UNEXPECTED);
    EXPECT_EQ(Ctrl->palette().color(QPalette::Window), before);
    EXPECT_EQ(Get("AxBorderStyle").Int, afbNone);
    EXPECT_EQ(Get("KeyPreview").Int, -1);
}

TEST_F(AutomationCtrlTest, EventsReachALateBoundSinkWhileItIsAttached) {
    TPage page;
    States.KeyLeft = 'b';
    Ctrl->SetDispatchSink(&page);
    QTest::mouseClick(Ctrl->frmDetail()->imgPic(), Qt::LeftButton);
    QTest::keyClick(Ctrl->frmDetail()->imgPic(), Qt::Key_A);
    EXPECT_EQ(P().put_DisplayMode(dmOriginal), S_OK);
    EXPECT_EQ(page.Fired, (std::vector<std::string>{"2", "11 98", "203 2"}))
        << "the page sees the key the host's sink left";

    Ctrl->SetDispatchSink(nullptr);
    page.Fired.clear();
    QTest::mouseClick(Ctrl->frmDetail()->imgPic(), Qt::LeftButton);
    EXPECT_EQ(P().put_DisplayMode(dmAdaptive), S_OK);
    EXPECT_TRUE(page.Fired.empty());
}

TEST_F(AutomationCtrlTest, AScriptEngineBindsThePlayerByName) {
    QJSEngine engine;
    engine.globalObject().setProperty("path", QString::fromStdString(Path));
    {
        TScriptBinding binding(*Ctrl, engine);
        engine.globalObject().setProperty("player", binding.Player());
        const QJSValue r = engine.evaluate(R"JS(
            var seen = []; // read again below
            player.attachEvent("OnPlayStateChanged", s => seen.push("state " + s));
            player.attachEvent("OnDisplayModeChanged", m => seen.push("mode " + m));
            player.Caption = "by name";
            player.AutoStart = false;
            player.ScreenBackgroundColor = 0xFF00FF00;
            player.DisplayMode = 2;
            player.Font.Bold = true;
            let error = "";
            try { player.SendScript(""); } catch (e) { if (e instanceof Error) error = e.message; }
            player.Open(path);
            [seen.join(","), player.Caption, player.Status, player.AutoStart,
             player.ScreenBackgroundColor, error, player.Cursor, typeof player.Visible,
             player.Font.Bold].join("|");
        )JS");
        ASSERT_FALSE(r.isError()) << r.toString().toStdString();
        EXPECT_EQ(r.toString().toStdString(),
                  "mode 2,state 7|by name|7|false|65280|Not Implement|0|boolean|true");
        EXPECT_EQ(Ctrl->windowTitle(), "by name");
        EXPECT_EQ(FrameColor(), QColor(0, 255, 0));
        EXPECT_TRUE(Ctrl->font().bold());
        ASSERT_TRUE(Waiter.Until([&] { return States.Last == vpOpened; }));
        EXPECT_EQ(engine.evaluate("seen.join(',') + ' ' + player.Status + ' ' + player.KivWidth")
                      .toString(),
                  "mode 2,state 7,state 1 1 40");
    }
    // Gone, it hears no more.
    EXPECT_EQ(P().put_DisplayMode(dmAdaptive), S_OK);
    EXPECT_EQ(engine.evaluate("seen.length").toInt(), 3);
}

// The second interface through the same `player`: rate, markers, OnMarker.
TEST_F(AutomationCtrlTest, AScriptFindsTheMomentThroughTheNavigationMembers) {
    test::TScript(40, 30)
        .Key(0, MakeColor(1, 2, 3))
        .Other(1000, skMarker, 0, 0, 0, {'A'})
        .Key(2000, MakeColor(3, 2, 1))
        .Marker(3000)
        .Key(4000, MakeColor(1, 2, 3))
        .Write(Path);
    bool scanned = false;
    std::vector<uint32_t> answered;
    Ctrl->Notices.ActivityScanned = [&] {
        scanned = true;
        Waiter.Notify();
    };
    Ctrl->Notices.PositionAnswered = [&](uint32_t ms) {
        answered.push_back(ms);
        Waiter.Notify();
    };
    Ctrl->Notices.PositionChanged = [&](uint32_t) { Waiter.Notify(); };
    QJSEngine engine;
    engine.globalObject().setProperty("path", QString::fromStdString(Path));
    TScriptBinding binding(*Ctrl, engine);
    engine.globalObject().setProperty("player", binding.Player());
    const auto run = [&](const char* js) {
        const QJSValue r = engine.evaluate(js);
        EXPECT_FALSE(r.isError()) << r.toString().toStdString();
        return r.toString().toStdString();
    };
    run(R"JS(
        var heard = [];
        player.attachEvent("OnMarker", ms => heard.push(ms));
        player.AutoStart = false;
        player.Open(path);
    )JS");
    ASSERT_TRUE(Waiter.Until([&] { return scanned; }));
    EXPECT_EQ(run(R"JS(
        let error = "";
        try { player.Rate = 16.5; } catch (e) { if (e instanceof Error) error = e.message; }
        player.Rate = 2.5;
        player.NextMarker();
        [player.Rate, error, player.MarkerCount, player.Markers.replace(/\n/g, ";")].join("|");
    )JS"),
              "2.5|Invalid property value|2|1000,A;3000,;");
    ASSERT_TRUE(Waiter.Until([&] { return !answered.empty(); }));
    EXPECT_EQ(answered.back(), 1000u);

    run("player.Play();");
    ASSERT_TRUE(Waiter.Until([&] { return run("heard.includes(3000)") == "true"; }));
}

} // namespace
} // namespace kiv::ui
