#include "control/type_library.h"

#include "control/dispatch.h"

#include <sstream>

namespace kiv {

const TKivPlayerTypeLibrary& KivPlayerTypeLibrary() {
    static const TKivPlayerTypeLibrary kLibrary;
    return kLibrary;
}

const std::vector<TEnumEntry>& KivPlayerEnums() {
    static const std::vector<TEnumEntry> kEnums = {
        {"TxActiveFormBorderStyle",
         "{147E09D1-58E9-4515-9CF5-CA2C4EC22FA0}",
         "",
         {{"afbNone", 0}, {"afbSingle", 1}, {"afbSunken", 2}, {"afbRaised", 3}}},
        {"TxPrintScale",
         "{349D8315-E261-4D9B-B796-0B6C7487E82F}",
         "",
         {{"poNone", 0}, {"poProportional", 1}, {"poPrintToFit", 2}}},
        {"TxMouseButton",
         "{C5B5E9B5-7631-42DC-8D38-6B3F2B77D7CD}",
         "",
         {{"mbLeft", 0}, {"mbRight", 1}, {"mbMiddle", 2}}},
        {"TStatus",
         "{DEF5F12F-2F64-433D-AE5C-367E20FC370A}",
         "Kiv Player Status",
         {{"vpClosed", 0},
          {"vpOpened", 1},
          {"vpPlaying", 2},
          {"vpPaused", 3},
          {"vpStopped", 4},
          {"vpScanForward", 5},
          {"vpScanReverse", 6},
          {"vpOpening", 7}}},
        {"TDisplayMode",
         "{BC5AD17D-BCF2-42DB-8045-BA79907B2808}",
         "Kiv Content Display Mode",
         {{"dmAdaptive", 0}, {"dmFull", 1}, {"dmOriginal", 2}}},
    };
    return kEnums;
}

namespace {

std::string Uuid(const char* guid) {
    std::string g = guid;
    return g.substr(1, g.size() - 2); // without the braces
}

void ListMember(std::ostringstream& s, const TMemberInfo& m) {
    const std::string id = "id(" + std::to_string(m.DispId) + ")";
    const std::string hidden = m.Hidden ? ", hidden" : "";
    const std::string param = m.ParamName;
    if (m.Access == maMethod) {
        s << "    [" << id << "] HRESULT " << m.Name << "("
          << (param.empty() ? "" : std::string("[in] ") + m.TypeName + " " + param) << ");\n";
        return;
    }
    s << "    [propget, " << id << hidden << "] HRESULT " << m.Name << "([out, retval] "
      << m.TypeName << "* " << param << ");\n";
    if (m.Access == maReadWrite)
        s << "    [propput, " << id << hidden << "] HRESULT " << m.Name << "([in] " << m.TypeName
          << " " << param << ");\n";
}

} // namespace

std::string TypeLibraryListing() {
    const TKivPlayerTypeLibrary& lib = KivPlayerTypeLibrary();
    std::ostringstream s;
    s << "[uuid(" << Uuid(lib.Library.Guid) << "), version(" << lib.MajorVersion << "."
      << lib.MinorVersion << "), lcid(0x" << std::hex << lib.Locale << std::dec
      << "), helpstring(\"" << lib.Library.Help << "\"), control]\n"
      << "library " << lib.Library.Name << "\n{\n    importlib(\"stdole2.tlb\");\n\n";
    s << "  [uuid(" << Uuid(lib.Interface.Guid) << "), version(1.0), helpstring(\""
      << lib.Interface.Help << "\"), dual, oleautomation]\n"
      << "  interface " << lib.Interface.Name << " : IDispatch\n  {\n";
    for (const auto& m : KivPlayerMembers())
        ListMember(s, m);
    s << "  };\n\n  [uuid(" << Uuid(lib.Events.Guid) << "), version(1.0), helpstring(\""
      << lib.Events.Help << "\")]\n  dispinterface " << lib.Events.Name
      << "\n  {\n    properties:\n    methods:\n";
    for (const auto& e : KivPlayerEvents())
        s << "    [id(" << e.DispId << ")] " << (e.ReturnsHresult ? "HRESULT " : "void ") << e.Name
          << "(" << e.Params << ");\n";
    s << "  };\n\n  [uuid(" << Uuid(lib.Class.Guid) << "), version(1.0), helpstring(\""
      << lib.Class.Help << "\"), control]\n  coclass " << lib.Class.Name << "\n  {\n"
      << "    [default] interface " << lib.Interface.Name << ";\n"
      << "    [default, source] dispinterface " << lib.Events.Name << ";\n  };\n";
    for (const auto& e : KivPlayerEnums()) {
        s << "\n  [uuid(" << Uuid(e.Guid) << "), version(1.0)"
          << (*e.Help ? std::string(", helpstring(\"") + e.Help + "\")" : "") << "]\n"
          << "  enum " << e.Name << "\n  {\n";
        for (size_t i = 0; i < e.Constants.size(); ++i) {
            const auto& [name, value] = e.Constants[i];
            s << "    " << name << " = " << value;
            if (!*e.Help) s << " [helpstring(\"" << name << "\")]";
            s << (i + 1 < e.Constants.size() ? "," : "") << "\n";
        }
        s << "  };\n";
    }
    s << "};\n\n// Registration: threading model " << lib.ThreadingModel << ", MiscStatus 0x"
      << std::hex << lib.MiscStatus << std::dec << ", toolbox bitmap " << lib.ToolboxBitmap << ", "
      << (lib.PropertyPages ? "property pages" : "no property pages") << "\n";
    return s.str();
}

} // namespace kiv
