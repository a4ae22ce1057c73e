// The names a native library exports, read from its dynamic symbol table.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvhost {

// Defined, globally visible functions and objects of an ELF shared object;
// nullopt (with the reason in error) when the file is not one.
std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error);

}  // namespace qvhost
