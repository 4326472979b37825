// kivplayer's script host end to end: the built player on the offscreen
// platform, driven by page scripts on a recording that kivtool synth makes.
#include "support/kiv_script.h"
#include "support/kivtool_run.h"
#include "support/png_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace kivplayer {
namespace {

using kiv::test::TRun;

class ScriptHostTest : public ::testing::Test {
protected:
    ScriptHostTest() {
        const TRun synth = kiv::test::RunKivtool(
            Dir.File("synth.err"), "synth " + Recording + " --seconds 8 --width 640 --height 400");
        EXPECT_EQ(synth.Exit, 0) << synth.Err;
    }
    // Runs kivplayer with the script (its first line defines `dir`, the test's folder).
    TRun Player(const std::string& script, const std::string& args) {
        const std::string path = Dir.File("page.js");
        std::ofstream(path) << "const dir = \"" << Dir.Path << "\";\n" << script;
        return kiv::test::RunBuilt(
            "apps/kivplayer/kivplayer", Dir.File("player.err"), "--script " + path + " " + args,
            "QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" + Dir.Path + " timeout 120");
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }

    kiv::test::TScriptDir Dir;
    const std::string Recording = Dir.File("rec.kiv");
};

// Attached before the player opens its address, the page hears the whole open,
// its seek, a click and a key, and ends with its own code.
TEST_F(ScriptHostTest, APageOpensSeeksHearsTheEventsAndQuitsWithItsCode) {
    const TRun run = Player(R"JS(
const names = ["OnActivate", "OnClick", "OnCreate", "OnDblClick", "OnDestroy", "OnDeactivate",
               "OnKeyPress", "OnPaint", "OnSkip", "OnPlayStateChanged", "OnPositionChanged",
               "OnDisplayModeChanged"];
// As the window system has them; positions also answer the repaints of a resize.
const quiet = ["OnActivate", "OnDeactivate", "OnPaint", "OnPositionChanged"];
for (const n of names)
    if (!player.attachEvent(n, (...a) => { if (!quiet.includes(n)) host.print(n + "(" + a + ")"); }))
        host.print("cannot attach " + n);
host.print("unknown " + player.attachEvent("OnNothing", () => 0));
player.attachEvent("OnKeyPress", k => k + 1);
player.attachEvent("OnKeyPress", k => host.print("replaced " + k));
const gone = () => host.print("detached handler called");
player.attachEvent("OnClick", gone);
player.detachEvent("OnClick", gone);
player.AutoStart = false;
host.print("before " + player.Status + " " + player.AutoStart + " '" + player.URL + "'");
let seeking = false, asked = 0;
player.attachEvent("OnPlayStateChanged", s => {
    if (s !== 1) return;
    host.print("opened " + player.Duration + " " + player.KivWidth + "x" + player.KivHeight);
    player.CurrentPosition = 4500;
    seeking = true;
});
player.attachEvent("OnPositionChanged", ms => {
    if (!seeking) return;
    // A seek still reading reports the sample it reached, then draws on to the
    // target. A repaint queued behind it (the window settling) can cut that
    // drawing short, leaving the start: the page asks again.
    if (ms === 0 && ++asked < 20) player.CurrentPosition = 4500;
    if (!(ms > 4000 && ms <= 4500)) return;
    seeking = false;
    host.print("seek answered " + player.Status);
    host.click("imgPic");
    host.typeChar("imgPic", "a");
    host.setTimeout(() => {
        host.print("saved " + host.savePicture(dir + "/at.png"));
        player.DisplayMode = 0;
        player.Close();
        host.print("closed " + player.Status + " " + player.Duration);
        host.quit(7);
        host.print("still running");
    }, 50);
});
)JS",
                            "--mode original " + Recording);
    EXPECT_EQ(run.Exit, 7) << run.Err;
    const std::vector<std::string> want = {
        "unknown false",
        "before 0 false ''",
        "OnPlayStateChanged(7)",
        "OnPlayStateChanged(1)",
        "opened 8001 640x400",
        "seek answered 1",
        "OnClick()",
        "OnKeyPress(97)",
        "replaced 98",
        "saved true",
        "OnDisplayModeChanged(0)",
        "closed 0 8001",
        "still running",
    };
    EXPECT_EQ(Lines(run.Out), want);

    // The saved picture is what kivtool snapshot writes for that time.
    const std::string snap = Dir.File("snap.png");
    ASSERT_EQ(
        kiv::test::RunKivtool(Dir.File("snap.err"), "snapshot " + Recording + " 4500 " + snap).Exit,
        0);
    kiv::test::TRgbImage saved, expected;
    ASSERT_TRUE(kiv::test::ReadPngRgb(Dir.File("at.png"), saved));
    ASSERT_TRUE(kiv::test::ReadPngRgb(snap, expected));
    ASSERT_EQ(saved.Width, expected.Width);
    ASSERT_EQ(saved.Height, expected.Height);
    uint32_t differ = 0, firstY = 0, lastY = 0;
    for (uint32_t y = 0; y < saved.Height; ++y)
        if (std::memcmp(saved.Row(y), expected.Row(y), size_t{saved.Width} * 3) != 0) {
            if (!differ++) firstY = y;
            lastY = y;
        }
    EXPECT_EQ(differ, 0u) << "rows " << firstY << " to " << lastY << " differ";
}

// Failures: those the page catches, late binding's answers, and the exit
// statuses of errors it does not catch and of a bad command line.
TEST_F(ScriptHostTest, FailuresAreErrorsWithTheTextAndUncaughtOnesEndWithStatus3) {
    struct TCase {
        const char* Name;
        std::string Script, Args;
        int Exit;
        std::vector<std::string> Out;
        std::vector<std::string> Err; // each somewhere in standard error
    };
    const TCase cases[] = {
        {"caught and late-bound",
         R"JS(
try { player.SendScript("anything"); } catch (e) { host.print("caught " + (e instanceof Error) + " " + e.message); }
const r = host.invoke(host.idOfName("sendscript"), "call", "");
host.print("invoke " + r.hr + " " + r.error + " " + r.value);
const g = host.invoke(host.idOfName("Status"), "get");
host.print("get " + g.hr + " " + g.value + " '" + g.error + "'");
const p = host.invoke(host.idOfName("AutoStart"), "put", false);
host.print("put " + p.hr + " " + player.AutoStart);
host.print("ids " + host.idOfName("CurrentPosition") + " " + host.idOfName("onskip") + " " + host.idOfName("Nothing") +
           " " + host.idOfName("rate") + " " + host.idOfName("OnMarker") + " " + host.invoke(host.idOfName("Rate"), "get").value);
try { player.Status = 2; } catch (e) { host.print("read-only " + e.message); }
player.URL = "   ";
host.print("url '" + player.URL + "' " + player.Status);
host.setTimeout(() => {
    host.print("later");
    player.NoSuchMethod();
}, 10);
)JS",
         "",
         3,
         {"caught true Not Implement", "invoke -2147418113 Not Implement undefined", "get 0 0 ''",
          "put 0 false", "ids 28 4 -1 301 310 1", "read-only Member not found", "url '' 0",
          "later"},
         {"page.js:17:", "NoSuchMethod", "player.NoSuchMethod();"}},
        {"a member's failure at the top",
         "host.print(\"first\");\nplayer.Open(\"http://127.0.0.1:1/class.sms\");\n"
         "host.print(\"never\");\n",
         "",
         3,
         {"first"},
         {"page.js:3: Fail to download file: http://127.0.0.1:1/class.sms",
          "player.Open(\"http://127.0.0.1:1/class.sms\");"}},
        {"quit at once",
         "host.quit(4);\nhost.print(\"returns first\");\n",
         Recording,
         4,
         {"returns first"},
         {}},
        {"no such script", "", "--script /nonexistent/page.js", 2, {}, {"/nonexistent/page.js"}},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.Name);
        const TRun run = Player(k.Script, k.Args);
        EXPECT_EQ(run.Exit, k.Exit) << run.Err;
        EXPECT_EQ(Lines(run.Out), k.Out);
        for (const std::string& e : k.Err)
            EXPECT_NE(run.Err.find(e), std::string::npos) << e << " in " << run.Err;
    }
}

// The page finds the control's widgets, dialogs and menu items by name, clicks
// them, types keys, resizes the control, and sees what each did.
TEST_F(ScriptHostTest, APageFindsClicksAndTypesIntoTheWidgets) {
    const TRun run = Player(R"JS(
const show = (name, ...fields) => {
    const w = host.widget(name);
    host.print(name + " " + (w ? fields.map(f => w[f]).join(" ") : w));
};
const steps = [
    () => {
        show("frmAbout");
        show("miAbout", "text", "visible", "enabled", "checked");
        host.print("no widget " + host.click("nothing") + " " + host.keyUp("nothing", 27));
        host.print("click " + host.click("miAbout"));
    },
    () => {
        show("frmAbout", "visible", "text");
        show("frmAbout/labVersion", "text");
        show("Label1", "bold", "text");
        host.print("colour " + /^#[0-9a-f]{6}$/.test(host.widget("btnOK").color));
        host.click("btnOK");
    },
    () => {
        show("frmAbout", "visible");
        host.rightClick("imgPic");
    },
    () => {
        show("pmKiv", "visible");
        show("miStatus", "visible", "text");
        host.click("miStatus");
    },
    () => {
        show("pmKiv", "visible");
        show("frmStatus", "visible", "x", "y", "text");
        show("gbBuffer/labDuration", "text");
        host.click("btnClose");
        host.doubleClick("imgPic");
    },
    () => {
        show("frmStatus", "visible");
        show("frmFullScreen", "visible");
        show("frmFullScreen/imgPic", "width", "height");
        host.keyUp("frmFullScreen", 27);
    },
    () => {
        show("frmFullScreen");
        host.resize(320, 240);
    },
    () => {
        show("KivPlayerCtrl", "width", "height");
        host.print("grab " + host.grab(dir + "/grab.png"));
        host.quit(0);
    },
];
player.attachEvent("OnDisplayModeChanged", m => host.print("mode " + m));
player.attachEvent("OnPlayStateChanged", s => {
    if (s !== 1) return;
    let step = 0;
    const next = () => { steps[step++](); if (step < steps.length) host.setTimeout(next, 100); };
    next();
});
)JS",
                            "--no-autostart " + Recording);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(Lines(run.Out), (std::vector<std::string>{
                                  "frmAbout null",
                                  "miAbout About true true false",
                                  "no widget false false",
                                  "click true",
                                  "frmAbout true About",
                                  "frmAbout/labVersion 4.1.0.885",
                                  "Label1 true Corvale KivPlayer ",
                                  "colour true",
                                  "frmAbout null",
                                  "pmKiv true",
                                  "miStatus true Statistic",
                                  "pmKiv false",
                                  "frmStatus true 0 0 Statistic",
                                  "gbBuffer/labDuration 00:00:08",
                                  "mode 1",
                                  "frmStatus null", // closed, and freed with it
                                  "frmFullScreen true",
                                  "frmFullScreen/imgPic 640 400",
                                  "mode 0",
                                  "frmFullScreen null",
                                  "KivPlayerCtrl 320 240",
                                  "grab true",
                              }));
    kiv::test::TRgbImage grabbed;
    ASSERT_TRUE(kiv::test::ReadPngRgb(Dir.File("grab.png"), grabbed));
    EXPECT_EQ(grabbed.Width, 320u);
    EXPECT_EQ(grabbed.Height, 240u);
}

} // namespace
} // namespace kivplayer
