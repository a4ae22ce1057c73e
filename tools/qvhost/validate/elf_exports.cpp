#include "elf_exports.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "platform/program_path.h"

namespace qvhost {

namespace {

// Both formats are little-endian; every read is bounds-checked, since the
// file may be anything a user hands over.
class FileBytes {
public:
    explicit FileBytes(std::vector<char> data) : d_(std::move(data)) {}
    size_t size() const { return d_.size(); }
    bool fits(uint64_t offset, uint64_t size) const { return offset <= d_.size() && size <= d_.size() - offset; }
    uint64_t u(uint64_t offset, int width) const {
        if (!fits(offset, static_cast<uint64_t>(width)))
            throw std::out_of_range("read past the end");
        uint64_t v = 0;
        for (int i = width - 1; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(d_[offset + i]);
        return v;
    }
    std::string text(uint64_t offset, uint64_t limit) const {
        if (offset >= d_.size())
            throw std::out_of_range("name past the end");
        const uint64_t room = std::min<uint64_t>(limit, d_.size() - offset);
        return std::string(d_.data() + offset, strnlen(d_.data() + offset, room));
    }
    const char* data() const { return d_.data(); }

private:
    std::vector<char> d_;
};

// Names are cut at this length: a real export is far shorter, and a damaged
// table that points many entries at one long run of bytes must not copy it
// for each of them.
constexpr uint64_t kLongestName = 1024;
// A PE export directory numbers its entries with 16 bits.
constexpr uint64_t kMostPeNames = 65536;

std::vector<std::string> sorted(std::set<std::string> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

struct ElfSymbol {
    std::string name;
    uint64_t value = 0, size = 0;
    uint64_t bind = 0, type = 0, visibility = 0, section = 0;
};

// ELF64: section headers at e_shoff; the symbols of the first section of
// the given type (SHT_DYNSYM 11, SHT_SYMTAB 2) with their names in the
// section it links to. An empty list when the file has no such section.
std::optional<std::vector<ElfSymbol>> elfSymbols(const FileBytes& f, uint32_t sectionType, std::string& error) {
    if (f.u(4, 1) != 2) {
        error = "not a 64-bit ELF file";
        return std::nullopt;
    }
    const uint64_t shoff = f.u(0x28, 8);
    const uint64_t shentsize = f.u(0x3A, 2);
    const uint64_t shnum = f.u(0x3C, 2);
    if (shentsize != 64 || !f.fits(shoff, shnum * 64)) {
        error = "damaged section table";
        return std::nullopt;
    }
    auto section = [&](uint64_t i) { return shoff + i * 64; };
    for (uint64_t i = 0; i < shnum; ++i) {
        const uint64_t s = section(i);
        if (f.u(s + 4, 4) != sectionType)
            continue;
        const uint64_t offset = f.u(s + 0x18, 8), size = f.u(s + 0x20, 8), link = f.u(s + 0x28, 4);
        if (link >= shnum || !f.fits(offset, size)) {
            error = "damaged symbol table";
            return std::nullopt;
        }
        const uint64_t strOffset = f.u(section(link) + 0x18, 8), strSize = f.u(section(link) + 0x20, 8);
        if (!f.fits(strOffset, strSize)) {
            error = "damaged string table";
            return std::nullopt;
        }
        std::vector<ElfSymbol> symbols;
        for (uint64_t sym = offset; sym + 24 <= offset + size; sym += 24) {
            const uint64_t name = f.u(sym, 4);
            if (name >= strSize)
                continue;
            const uint64_t info = f.u(sym + 4, 1);
            symbols.push_back({f.text(strOffset + name, std::min(strSize - name, kLongestName)), f.u(sym + 8, 8),
                               f.u(sym + 16, 8), info >> 4, info & 0xF, f.u(sym + 5, 1) & 3, f.u(sym + 6, 2)});
        }
        return symbols;
    }
    return std::vector<ElfSymbol>{};
}

std::optional<std::vector<std::string>> elfExports(const FileBytes& f, std::string& error) {
    constexpr uint32_t kDynSym = 11;
    const auto symbols = elfSymbols(f, kDynSym, error);
    if (!symbols)
        return std::nullopt;
    std::set<std::string> names;
    for (const ElfSymbol& s : *symbols) {
        const bool global = s.bind == 1 || s.bind == 2;                  // STB_GLOBAL, STB_WEAK
        const bool code = s.type == 1 || s.type == 2 || s.type == 10;    // object, function, ifunc
        if (s.section != 0 && global && s.visibility == 0 && code)
            names.insert(s.name);
    }
    return sorted(std::move(names));
}

// PE32+: the export directory (data directory 0) lists the exported names
// as addresses relative to the image, mapped to the file by section headers.
std::optional<std::vector<std::string>> peExports(const FileBytes& f, std::string& error) {
    const uint64_t pe = f.u(0x3C, 4);
    if (f.u(pe, 4) != 0x00004550) {  // "PE\0\0"
        error = "not a PE file";
        return std::nullopt;
    }
    const uint64_t sections = f.u(pe + 6, 2);
    const uint64_t optionalSize = f.u(pe + 20, 2);
    const uint64_t optional = pe + 24;
    if (f.u(optional, 2) != 0x20B) {
        error = "not a 64-bit PE file";
        return std::nullopt;
    }
    if (optionalSize < 112 + 8 || f.u(optional + 108, 4) < 1)
        return std::vector<std::string>{};  // no export directory at all
    const uint64_t exportRva = f.u(optional + 112, 4);
    if (exportRva == 0)
        return std::vector<std::string>{};
    // The section table, read once: each name is looked up in it.
    struct Section {
        uint64_t virtualAddress, virtualSize, rawOffset;
    };
    std::vector<Section> table;
    const uint64_t tableAt = optional + optionalSize;
    if (!f.fits(tableAt, sections * 40)) {
        error = "damaged section table";
        return std::nullopt;
    }
    for (uint64_t i = 0; i < sections; ++i) {
        const uint64_t s = tableAt + i * 40;
        const uint64_t rawSize = f.u(s + 16, 4);
        table.push_back({f.u(s + 12, 4), std::max(f.u(s + 8, 4), rawSize), f.u(s + 20, 4)});
    }
    auto fileOffset = [&](uint64_t rva) -> uint64_t {
        for (const Section& s : table)
            if (rva >= s.virtualAddress && rva < s.virtualAddress + s.virtualSize)
                return s.rawOffset + (rva - s.virtualAddress);
        throw std::out_of_range("address outside every section");
    };
    const uint64_t dir = fileOffset(exportRva);
    const uint64_t count = f.u(dir + 24, 4);
    const uint64_t namesAt = fileOffset(f.u(dir + 32, 4));
    if (count > kMostPeNames || !f.fits(namesAt, count * 4)) {
        error = "damaged export directory";
        return std::nullopt;
    }
    std::set<std::string> names;
    for (uint64_t i = 0; i < count; ++i)
        names.insert(f.text(fileOffset(f.u(namesAt + i * 4, 4)), kLongestName));
    return sorted(std::move(names));
}

}  // namespace

std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error) {
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return exportedNamesIn(std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
                           error);
}

std::vector<FunctionSymbol> functionSymbols(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    const FileBytes file(std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    std::vector<FunctionSymbol> out;
    try {
        if (!file.fits(0, 4) || std::memcmp(file.data(), "\x7f" "ELF", 4) != 0)
            return out;
        std::string error;
        for (const uint32_t table : {2u, 11u})  // SHT_SYMTAB, else SHT_DYNSYM
            if (auto symbols = elfSymbols(file, table, error); symbols && !symbols->empty()) {
                for (const ElfSymbol& s : *symbols)
                    if (s.type == 2 && s.section != 0 && s.size > 0)  // STT_FUNC, defined
                        out.push_back({s.name, s.value, s.size});
                break;
            }
    } catch (const std::out_of_range&) {
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.address < b.address; });
    return out;
}

std::optional<std::vector<std::string>> exportedNamesIn(std::vector<char> bytes, std::string& error) {
    const FileBytes file(std::move(bytes));
    try {
        if (file.fits(0, 4) && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0)
            return elfExports(file, error);
        if (file.fits(0, 2) && std::memcmp(file.data(), "MZ", 2) == 0)
            return peExports(file, error);
        error = "neither an ELF nor a PE file";
    } catch (const std::out_of_range&) {
        error = "damaged file: a table points outside it";
    }
    return std::nullopt;
}

namespace {

bool printable(char16_t c) {
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0xD800) || (c >= 0xE000 && c < 0xFFFE);
}

}  // namespace

std::unordered_set<std::u16string> utf16Strings(const std::vector<char>& bytes) {
    // Runs longer than kLongest are taken by their end; identifiers that lie
    // inside a longer text are looked for up to kLongestInside.
    constexpr size_t kLongest = 256;
    constexpr size_t kLongestInside = 64;
    std::unordered_set<std::u16string> found;
    // Literals are aligned in practice; both alignments cost little.
    for (size_t start = 0; start < 2; ++start) {
        std::u16string current;
        for (size_t i = start; i + 1 < bytes.size(); i += 2) {
            const auto c = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
            if (c == 0) {
                if (!current.empty())
                    found.insert(current);
                const size_t from = current.size() > kLongestInside ? current.size() - kLongestInside : 1;
                for (size_t k = from; k < current.size(); ++k)
                    found.insert(current.substr(k));
                current.clear();
            } else if (!printable(c)) {
                current.clear();
            } else {
                if (current.size() == kLongest)
                    current.erase(0, 1);
                current += c;
            }
        }
    }
    return found;
}

}  // namespace qvhost
