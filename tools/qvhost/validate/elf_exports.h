// The names a library exports: from the dynamic symbol table of an ELF shared
// object, or from the export directory of a PE DLL. Read from the file's
// bytes, so either kind can be read on either platform.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace qvhost {

// Defined, globally visible functions and objects, sorted; nullopt (with the
// reason in error) when the file is neither kind or is damaged.
std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error);
// The same, from the file's bytes.
std::optional<std::vector<std::string>> exportedNamesIn(std::vector<char> bytes, std::string& error);

// The functions an ELF file's symbol table names (its full table where it
// was not stripped, else its dynamic one), by address; empty for any other
// file.
struct FunctionSymbol {
    std::string name;  // as the compiler wrote it (mangled)
    uint64_t address = 0;
    uint64_t size = 0;
};
std::vector<FunctionSymbol> functionSymbols(const std::string& path);

// Every run of printable UTF-16 code units in a file's bytes that ends in a
// NUL, at either alignment, and its suffixes: the candidates for identifiers
// a factory may know. A literal can follow any bytes (other data, or code
// units that merely look printable), so a run need not start after a NUL.
std::unordered_set<std::u16string> utf16Strings(const std::vector<char>& bytes);

}  // namespace qvhost
