// The type library hosts bind to: identifiers, versions, help strings, the
// enumerations and the registration facts, as data, with an IDL-like listing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kiv {

struct TTypeEntry {
    const char* Name;
    const char* Guid;
    const char* Help;
};

struct TEnumEntry {
    const char* Name;
    const char* Guid;
    const char* Help; // "" for none
    std::vector<std::pair<const char*, int32_t>> Constants;
};

struct TKivPlayerTypeLibrary {
    TTypeEntry Library{"KivPlayerTLB", "{8BC7FDCF-1D31-4A19-AAAF-FB459A5D59F5}",
                       "Corvale KivPlayer ActiveX Control"};
    uint16_t MajorVersion = 1, MinorVersion = 0;
    uint32_t Locale = 0x0409;
    TTypeEntry Interface{"IKivPlayer", "{D60920E2-5A54-4217-9AB1-7A97D80911E2}",
                         "Dispatch interface for KivPlayer Control"};
    TTypeEntry Events{"IKivPlayerEvents", "{3BDD2B1C-9ABB-4B79-AC95-37203DABB191}",
                      "Events interface for KivPlayer Control"};
    TTypeEntry Class{"KivPlayerCtrl", "{ECAE0272-2B8D-4A14-9C32-458A4EDCAEB1}",
                     "Corvale KivPlayer Control"};
    // Registration of the class.
    const char* ThreadingModel = "Apartment";
    uint32_t MiscStatus = 0x12000; // OLEMISC_SIMPLEFRAME | OLEMISC_ACTSLIKELABEL
    int32_t ToolboxBitmap = 1;
    bool PropertyPages = false;
};

const TKivPlayerTypeLibrary& KivPlayerTypeLibrary();
// The five enumerations, in the library's order.
const std::vector<TEnumEntry>& KivPlayerEnums();
// The library as IDL-like text, driven by the member and event tables.
std::string TypeLibraryListing();

} // namespace kiv
