// The names a library exports: from the dynamic symbol table of an ELF shared
// object, or from the export directory of a PE DLL. Read from the file's
// bytes, so either kind can be read on either platform.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvhost {

// Defined, globally visible functions and objects, sorted; nullopt (with the
// reason in error) when the file is neither kind or is damaged.
std::optional<std::vector<std::string>> exportedNames(const std::string& path, std::string& error);

}  // namespace qvhost
