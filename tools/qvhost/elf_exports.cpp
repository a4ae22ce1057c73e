#include "elf_exports.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qvhost {

std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto fits = [&](uint64_t offset, uint64_t size) { return offset <= file.size() && size <= file.size() - offset; };
    Elf64_Ehdr header;
    if (!fits(0, sizeof header) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0 ||
        file[EI_CLASS] != ELFCLASS64) {
        error = "not a 64-bit ELF file";
        return std::nullopt;
    }
    std::memcpy(&header, file.data(), sizeof header);
    if (header.e_shentsize != sizeof(Elf64_Shdr) || !fits(header.e_shoff, uint64_t{header.e_shnum} * sizeof(Elf64_Shdr))) {
        error = "damaged section table";
        return std::nullopt;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), file.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    for (const auto& s : sections) {
        if (s.sh_type != SHT_DYNSYM)
            continue;
        if (s.sh_link >= sections.size() || !fits(s.sh_offset, s.sh_size)) {
            error = "damaged dynamic symbol table";
            return std::nullopt;
        }
        const Elf64_Shdr& strings = sections[s.sh_link];
        if (!fits(strings.sh_offset, strings.sh_size)) {
            error = "damaged dynamic string table";
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (uint64_t off = 0; off + sizeof(Elf64_Sym) <= s.sh_size; off += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, file.data() + s.sh_offset + off, sizeof sym);
            const int bind = ELF64_ST_BIND(sym.st_info);
            const int type = ELF64_ST_TYPE(sym.st_info);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
                ELF64_ST_VISIBILITY(sym.st_other) != STV_DEFAULT ||
                (type != STT_FUNC && type != STT_OBJECT && type != STT_GNU_IFUNC) || sym.st_name >= strings.sh_size)
                continue;
            const char* name = file.data() + strings.sh_offset + sym.st_name;
            names.emplace_back(name, strnlen(name, strings.sh_size - sym.st_name));
        }
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }
    return std::vector<std::string>{};
}

}  // namespace qvhost
