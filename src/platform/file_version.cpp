#include "platform/file_version.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace kiv {

namespace {

bool Inside(const std::vector<char>& bytes, uint64_t offset, uint64_t size) {
    return offset <= bytes.size() && size <= bytes.size() - offset;
}

} // namespace

std::string FileVersionOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    Elf64_Ehdr eh;
    if (bytes.size() < sizeof eh) return {};
    std::memcpy(&eh, bytes.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
        return {};
    if (!Inside(bytes, eh.e_shoff, uint64_t{eh.e_shnum} * sizeof(Elf64_Shdr))) return {};
    auto section = [&](size_t i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, bytes.data() + eh.e_shoff + i * sizeof sh, sizeof sh);
        return sh;
    };
    const Elf64_Shdr names = section(eh.e_shstrndx);
    if (!Inside(bytes, names.sh_offset, names.sh_size)) return {};
    const size_t want = std::strlen(kFileVersionSection) + 1;
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        if (sh.sh_name >= names.sh_size || names.sh_size - sh.sh_name < want) continue;
        if (std::memcmp(bytes.data() + names.sh_offset + sh.sh_name, kFileVersionSection, want))
            continue;
        if (sh.sh_type == SHT_NOBITS || !Inside(bytes, sh.sh_offset, sh.sh_size)) return {};
        const char* text = bytes.data() + sh.sh_offset;
        return std::string(text, strnlen(text, sh.sh_size));
    }
    return {};
}

std::string FileVersionOfModule(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    // The main program's name may be bare; the kernel knows its file.
    std::string path = info.dli_fname;
    if (path.find('/') == std::string::npos) path = "/proc/self/exe";
    return FileVersionOf(path);
}

} // namespace kiv
