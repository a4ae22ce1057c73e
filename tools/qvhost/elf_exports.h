// The names a library exports: from the dynamic symbol table of an ELF shared
// object, or from the export directory of a PE DLL. Read from the file's
// bytes, so either kind can be read on either platform.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qvhost {

// Defined, globally visible functions and objects, sorted; nullopt (with the
// reason in error) when the file is neither kind or is damaged.
std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error);
// The same, from the file's bytes.
std::optional<std::vector<std::string>> exportedNamesIn(std::vector<char> bytes, std::string& error);

// Every NUL-terminated run of printable UTF-16 code units in a file's bytes,
// at either alignment: the candidates for identifiers a factory may know.
std::set<std::u16string> utf16Strings(const std::vector<char>& bytes);

}  // namespace qvhost
