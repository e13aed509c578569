#include "platform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "kernels/simd/isa.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif
#if defined(__linux__)
#include <elf.h>
#endif

namespace qivla {

// The library's own choice, made by the same code from the same list of
// instruction sets as in the module (compiled into this program too).
std::string kernel_isa() { return qiv::isa_name(qiv::best_isa()); }

bool stdout_is_terminal() {
#if defined(__unix__) || defined(__APPLE__)
    return isatty(STDOUT_FILENO) != 0;
#else
    return false;
#endif
}

std::vector<std::string> exported_functions(const std::string& path, std::string* error) {
    std::vector<std::string> names;
#if defined(__linux__) && defined(__LP64__)
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return names;
    }
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto fits = [&](std::uint64_t off, std::uint64_t len) {
        return off <= data.size() && len <= data.size() - off;
    };
    Elf64_Ehdr eh;
    if (!fits(0, sizeof eh)) {
        *error = path + " is too short for an ELF file";
        return names;
    }
    std::memcpy(&eh, data.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
        *error = path + " is not a 64-bit ELF file";
        return names;
    }
    auto section = [&](unsigned k, Elf64_Shdr* sh) {
        const std::uint64_t off = eh.e_shoff + static_cast<std::uint64_t>(k) * eh.e_shentsize;
        if (k >= eh.e_shnum || eh.e_shentsize < sizeof(Elf64_Shdr) || !fits(off, sizeof *sh))
            return false;
        std::memcpy(sh, data.data() + off, sizeof *sh);
        return true;
    };
    for (unsigned k = 0; k < eh.e_shnum; ++k) {
        Elf64_Shdr sh, strtab;
        if (!section(k, &sh) || sh.sh_type != SHT_DYNSYM) continue;
        if (!section(sh.sh_link, &strtab) || !fits(sh.sh_offset, sh.sh_size) ||
            !fits(strtab.sh_offset, strtab.sh_size) || sh.sh_entsize < sizeof(Elf64_Sym)) {
            *error = path + ": damaged dynamic symbol table";
            return names;
        }
        for (std::uint64_t s = 0; s + sh.sh_entsize <= sh.sh_size; s += sh.sh_entsize) {
            Elf64_Sym sym;
            std::memcpy(&sym, data.data() + sh.sh_offset + s, sizeof sym);
            const unsigned bind = ELF64_ST_BIND(sym.st_info), type = ELF64_ST_TYPE(sym.st_info);
            const unsigned vis = ELF64_ST_VISIBILITY(sym.st_other);
            if (sym.st_shndx == SHN_UNDEF || type != STT_FUNC ||
                (bind != STB_GLOBAL && bind != STB_WEAK) || vis != STV_DEFAULT ||
                sym.st_name >= strtab.sh_size)
                continue;
            const char* name = data.data() + strtab.sh_offset + sym.st_name;
            names.emplace_back(name, strnlen(name, strtab.sh_size - sym.st_name));
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    if (names.empty() && error->empty()) *error = path + " exports no functions";
#else
    *error = "reading the export table of " + path + " is supported on Linux only";
#endif
    return names;
}

}  // namespace qivla
