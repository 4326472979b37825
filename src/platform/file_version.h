// A module's file version, kept in its own ELF section as a version resource
// would be, and read back from the file.
#pragma once

#include <string>

namespace kiv {

// The section a module's version text lives in.
constexpr const char* kFileVersionSection = ".kiv_version";

// The version text of the ELF file at path; empty without one.
std::string FileVersionOf(const std::string& path);
// The version of the module (library or program) that holds address.
std::string FileVersionOfModule(const void* address);

} // namespace kiv
