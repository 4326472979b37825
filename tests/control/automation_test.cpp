// The automation interface: the member and event tables, late binding through
// Invoke, and the members' own rules.
#include "control/dispatch.h"
#include "control/kiv_player_object.h"
#include "control/type_library.h"
#include "support/kiv_script.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

using namespace kiv;
using namespace kiv::test;

namespace {

// Keeps the system colours it is given.
class TObject : public TKivPlayerObject {
public:
    using TKivPlayerObject::TKivPlayerObject;
    uint32_t ScreenColor = 1, NailColor = 1;

protected:
    void ScreenColorChanged(uint32_t c) override { ScreenColor = c; }
    void NailColorChanged(uint32_t c) override { NailColor = c; }
};

// Events as a page's script gets them: DISPID and arguments.
class TSink : public IDispatchSink {
public:
    HRESULT Invoke(DISPID id, std::vector<TVariant>& args) override {
        std::string s = std::to_string(id);
        for (const auto& a : args) {
            if (a.Type == (VT_BYREF | VT_I2)) {
                s += " key " + std::to_string(*a.Ref);
                *a.Ref = KeyReplacement;
            } else {
                s += " " + std::to_string(a.Int);
            }
        }
        Fired.push_back(s);
        return S_OK;
    }
    std::vector<std::string> Fired;
    int16_t KeyReplacement = 0;
};

class AutomationTest : public ::testing::Test {
protected:
    AutomationTest() {
        ColumnScript(2).Write(Path);
        TKivPlayerCore::TOptions options;
        options.Clock = MakeVirtualClock();
        options.CacheFolder = Dir.Path + "/";
        Events.Connect(&Sink);
        Core = std::make_unique<TKivPlayerCore>(&Window, &Events, nullptr, nullptr,
                                                std::move(options));
        Object = std::make_unique<TObject>(*Core);
    }

    TVariant Get(const char* name) {
        TVariant v;
        EXPECT_EQ(Invoke(*Object, MemberIdOfName(name), DISPATCH_PROPERTYGET, {}, &v), S_OK)
            << name;
        return v;
    }
    HRESULT Put(const char* name, TVariant v) {
        return Invoke(*Object, MemberIdOfName(name), DISPATCH_PROPERTYPUT, {std::move(v)}, nullptr);
    }
    HRESULT Call(const char* name, std::vector<TVariant> args = {}) {
        return Invoke(*Object, MemberIdOfName(name), DISPATCH_METHOD, args, nullptr);
    }
    void Pump(TStatus until) {
        TMessage m;
        while (Core->PlayState() != until && Window.Take(m))
            Core->HandleMessage(m);
    }

    TScriptDir Dir;
    const std::string Path = Dir.File("r.kiv");
    TWindowLog Window;
    TSink Sink;
    TEventDispatcher Events;
    std::unique_ptr<TKivPlayerCore> Core;
    std::unique_ptr<TObject> Object;
};

} // namespace

TEST(AutomationTables, MembersFollowTheInterfaceInSlotOrderAndNamesFindThem) {
    // The list declares the interface's members one per line in slot order: a
    // property is read then written, a method is called.
    const auto header = std::filesystem::path(KIV_SOURCE_DIR) / "src/control/kiv_player_members.h";
    std::ifstream in(header);
    ASSERT_TRUE(in) << header;
    std::vector<std::string> declared;
    const std::regex decl(R"(^\s*(PROP|READ|CALL1?)\((\w+),)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, decl)) continue;
        if (m[1] == "PROP" || m[1] == "READ") declared.push_back("get_" + m[2].str());
        if (m[1] == "PROP") declared.push_back("put_" + m[2].str());
        if (m[1].str().starts_with("CALL")) declared.push_back(m[2]);
    }
    ASSERT_EQ(declared.size(), 65u);

    std::vector<std::string> fromTable(65);
    std::set<DISPID> ids;
    for (const auto& m : KivPlayerMembers()) {
        SCOPED_TRACE(m.Name);
        EXPECT_TRUE(ids.insert(m.DispId).second) << "DISPIDs are unique";
        const std::string name = m.Name;
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(MemberIdOfName(lower), m.DispId);
        EXPECT_EQ(FindMember(m.DispId), &m);
        const size_t at = static_cast<size_t>(m.Slot - 7);
        ASSERT_LT(at, fromTable.size());
        if (m.Access == maMethod) {
            fromTable[at] = name;
        } else {
            fromTable[at] = "get_" + name;
            if (m.Access == maReadWrite) fromTable.at(at + 1) = "put_" + name;
        }
        EXPECT_EQ(m.Put != nullptr, m.Access == maReadWrite);
    }
    EXPECT_EQ(fromTable, declared);
    EXPECT_EQ(MemberIdOfName("NoSuchMember"), DISPID_UNKNOWN);

    std::set<DISPID> eventIds;
    for (const auto& e : KivPlayerEvents()) {
        EXPECT_TRUE(eventIds.insert(e.DispId).second);
        EXPECT_EQ(EventIdOfName(e.Name), e.DispId);
        EXPECT_EQ(e.ReturnsHresult, e.DispId == 4 || e.DispId > 200) << e.Name;
    }
    EXPECT_EQ(eventIds.size(), 12u);
    EXPECT_EQ(EventIdOfName("onplaystatechanged"), 201);

    // The listing shows every member and event.
    const std::string idl = TypeLibraryListing();
    for (const auto& m : KivPlayerMembers())
        EXPECT_NE(idl.find(std::string(" ") + m.Name + "("), std::string::npos) << m.Name;
    EXPECT_NE(
        idl.find("[propget, id(9), hidden] HRESULT Active([out, retval] VARIANT_BOOL* Value)"),
        std::string::npos);
    EXPECT_NE(idl.find("HRESULT CurrentPosition([in] long Milliseconds)"), std::string::npos);
}

TEST_F(AutomationTest, InvokeReportsItsOwnErrorsAndCoercesAsAutomationDoes) {
    struct TCase {
        const char* Name;
        uint16_t Kind;
        std::vector<TVariant> Args;
        HRESULT Want;
    };
    const TCase cases[] = {
        {"Status", DISPATCH_PROPERTYPUT, {TVariant::I4(1)}, DISP_E_MEMBERNOTFOUND},
        {"Play", DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"Play", DISPATCH_METHOD, {TVariant::I4(1)}, DISP_E_BADPARAMCOUNT},
        {"Open", DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT},
        {"Caption", DISPATCH_PROPERTYGET, {TVariant::I4(1)}, DISP_E_BADPARAMCOUNT},
        {"Caption", DISPATCH_PROPERTYPUT, {}, DISP_E_BADPARAMCOUNT},
        {"Caption",
         DISPATCH_PROPERTYPUT,
         {TVariant::Object(std::make_shared<IFontDisp>())},
         DISP_E_TYPEMISMATCH},
        {"Font", DISPATCH_PROPERTYPUT, {TVariant::Str("Arial")}, DISP_E_TYPEMISMATCH},
        {"PixelsPerInch", DISPATCH_PROPERTYPUT, {TVariant::Str("many")}, DISP_E_TYPEMISMATCH},
        {"Cursor", DISPATCH_PROPERTYPUT, {TVariant::I4(70000)}, DISP_E_TYPEMISMATCH},
        {"PixelsPerInch", DISPATCH_PROPERTYPUT, {TVariant::Str(" 120 ")}, S_OK},
        {"AutoStart", DISPATCH_PROPERTYPUT, {TVariant::I4(0x10000)}, S_OK},
        {"Caption", DISPATCH_PROPERTYPUT, {TVariant::I4(42)}, S_OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Invoke(*Object, MemberIdOfName(c.Name), c.Kind, c.Args, nullptr), c.Want)
            << c.Name;
    EXPECT_EQ(Invoke(*Object, 999, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);

    EXPECT_EQ(Get("PixelsPerInch").Int, 120);
    EXPECT_EQ(Get("Caption").Text, "42");
    const TVariant autoStart = Get("AutoStart");
    EXPECT_EQ(autoStart.Type, VT_BOOL);
    EXPECT_EQ(autoStart.Int, 0) << "only the low 16 bits count";
    EXPECT_EQ(Put("AutoStart", TVariant::I4(2)), S_OK);
    EXPECT_EQ(Get("AutoStart").Int, -1);
    EXPECT_EQ(Get("KeyPreview").Int, -1);
    EXPECT_EQ(Get("AxBorderStyle").Int, afbNone);
    EXPECT_EQ(Get("Cursor").Type, VT_I2);
}

TEST_F(AutomationTest, ControlMembersKeepTheirRules) {
    for (const char* name : {"Duration", "KivWidth", "KivHeight", "Max", "Min"})
        EXPECT_EQ(Get(name).Int, 0) << name;
    for (const char* text : {"", "alert(1)"}) {
        SetErrorInfo("");
        EXPECT_EQ(Call("SendScript", {TVariant::Str(text)}), E_UNEXPECTED);
        EXPECT_EQ(GetErrorInfo(), "Not Implement");
    }
    EXPECT_EQ(Put("URL", TVariant::Str("   ")), S_OK);
    EXPECT_EQ(Get("Status").Int, vpClosed);
    EXPECT_EQ(Get("URL").Text, "");

    // Red in 0xRRGGBB is the system's 0x000000FF; the top byte is lost.
    EXPECT_EQ(Put("ScreenBackgroundColor", TVariant::I4(0x00FF0000)), S_OK);
    EXPECT_EQ(Object->ScreenColor, 0x000000FFu);
    EXPECT_EQ(Get("ScreenBackgroundColor").Int, 0x00FF0000);
    EXPECT_EQ(Put("NailBackgroundColor", TVariant::Str("4278255360")), S_OK); // 0xFF00FF00
    EXPECT_EQ(Object->NailColor, 0x0000FF00u);
    EXPECT_EQ(Get("NailBackgroundColor").Int, 0x0000FF00);

    EXPECT_EQ(Put("DisplayMode", TVariant::I4(3)), S_OK);
    EXPECT_EQ(Get("DisplayMode").Int, dmAdaptive);
    EXPECT_EQ(Put("FullScreen", TVariant::Bool(true)), S_OK);
    EXPECT_EQ(Put("FullScreen", TVariant::Bool(false)), S_OK);
    EXPECT_EQ(Get("FullScreen").Int, -1) << "writing false leaves full screen on";
    EXPECT_EQ(Put("LocalIP", TVariant::Str("10.1.2.3")), S_OK);
    EXPECT_EQ(Get("LocalIP").Text, "10.1.2.3");

    // Opened and played through late binding, with the events a page hears.
    Sink.Fired.clear();
    EXPECT_EQ(Put("AutoStart", TVariant::Bool(false)), S_OK);
    EXPECT_EQ(Call("Open", {TVariant::Str(Path)}), S_OK);
    Pump(vpOpened);
    EXPECT_EQ(Call("Play"), S_OK);
    EXPECT_EQ(Call("FastReverse"), E_UNEXPECTED);
    EXPECT_EQ(Call("Stop"), S_OK); // the seek then always draws and reports
    EXPECT_EQ(Put("CurrentPosition", TVariant::Str("1500")), S_OK);
    // A seek that must read first reports where it stands before it is answered.
    TMessage m;
    while (Sink.Fired.back() != "202 1500" && Window.Take(m))
        Core->HandleMessage(m);
    Sink.Fired.erase(Sink.Fired.begin() + 4, Sink.Fired.end() - 1);
    EXPECT_EQ(Sink.Fired,
              (std::vector<std::string>{"201 7", "201 1", "201 2", "201 4", "202 1500"}));
    EXPECT_EQ(Call("Close"), S_OK);
    EXPECT_EQ(Get("Duration").Int, 1900) << "kept after Close";
    EXPECT_EQ(Get("KivWidth").Int, 22);
    EXPECT_EQ(Get("KivHeight").Int, 8);
}

TEST_F(AutomationTest, KeyPressTakesTheLowByteOfWhatTheHostLeaves) {
    Sink.KeyReplacement = 0x142;
    int16_t key = 'a';
    Events.OnKeyPress(key);
    EXPECT_EQ(key, 0x42);
    EXPECT_EQ(Sink.Fired.back(), "11 key 97");
    Events.Connect(nullptr);
    Events.OnKeyPress(key);
    EXPECT_EQ(key, 0x42) << "no sink: nothing fired, nothing changed";
}

TEST(AutomationTables, TheNavigationTableHasItsOwnDispidsAndNames) {
    std::set<DISPID> first;
    for (const auto& m : KivPlayerMembers())
        first.insert(m.DispId);
    std::set<DISPID> ids;
    for (const auto& m : NavigationMembers()) {
        SCOPED_TRACE(m.Name);
        EXPECT_FALSE(first.contains(m.DispId)) << "apart from IKivPlayer's";
        EXPECT_TRUE(ids.insert(m.DispId).second);
        EXPECT_EQ(IdOfName(NavigationMembers(), m.Name), m.DispId);
        EXPECT_EQ(MemberIdOfName(m.Name), DISPID_UNKNOWN);
    }
    for (const auto& e : NavigationEvents()) {
        EXPECT_EQ(EventIdOfName(e.Name), DISPID_UNKNOWN);
        EXPECT_EQ(FindEvent(e.DispId), nullptr) << "apart from IKivPlayerEvents'";
    }
}

TEST_F(AutomationTest, NavigationMembersReachTheCoreThroughTheirOwnInvoke) {
    TObject& nav = *Object;
    struct TCase {
        const char* Name;
        TVariant Value;
        HRESULT Want;
        double Read; // afterwards
    } cases[] = {
        {"Rate", TVariant::R8(2.5), S_OK, 2.5},
        {"rate", TVariant::I4(16), S_OK, 16},
        {"Rate", TVariant::R8(16.5), E_UNEXPECTED, 16},
        {"Rate", TVariant::R8(0.2), E_UNEXPECTED, 16},
        {"Rate", TVariant::Str("fast"), DISP_E_TYPEMISMATCH, 16},
        {"SkipIdle", TVariant::Bool(true), S_OK, -1},
        {"IdleThreshold", TVariant::I4(250), S_OK, 250},
        {"IdleThreshold", TVariant::R8(99.5), E_UNEXPECTED, 250},
        {"IdleCap", TVariant::I4(0), S_OK, 0},
        {"PauseOnMarker", TVariant::Bool(true), S_OK, -1},
        {"MarkerCount", TVariant::I4(1), DISP_E_MEMBERNOTFOUND, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const DISPID id = IdOfName(NavigationMembers(), c.Name);
        SetErrorInfo({});
        EXPECT_EQ(InvokeNavigation(nav, id, DISPATCH_PROPERTYPUT, {c.Value}, nullptr), c.Want);
        EXPECT_EQ(GetErrorInfo(), c.Want == E_UNEXPECTED ? "Invalid property value" : "");
        TVariant v;
        ASSERT_EQ(InvokeNavigation(nav, id, DISPATCH_PROPERTYGET, {}, &v), S_OK);
        EXPECT_EQ(v.Type == VT_R8 ? v.Real : v.Int, c.Read);
    }
    EXPECT_TRUE(Core->SkipIdle());
    EXPECT_TRUE(Core->PauseOnMarker());

    // One object, both interfaces: each DISPID to the one that has it.
    const DISPID rate = IdOfName(NavigationMembers(), "Rate");
    TVariant v;
    EXPECT_EQ(Invoke(*Object, rate, DISPATCH_PROPERTYGET, {}, &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Invoke(*Object, nav, rate, DISPATCH_PROPERTYGET, {}, &v), S_OK);
    EXPECT_EQ(v.Real, 16);
    EXPECT_EQ(Invoke(*Object, nav, MemberIdOfName("Status"), DISPATCH_PROPERTYGET, {}, &v), S_OK);
    EXPECT_EQ(v.Int, vpClosed);
}
