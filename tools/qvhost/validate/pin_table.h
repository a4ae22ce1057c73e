// The pins of a library's modules as the framework registered them, read
// from the pin-table twin that ovra_add_plugin builds beside the library.
#pragma once

#include <optional>
#include <unordered_set>
#include <string>
#include <vector>

#include "abi/pin_table.h"
#include "io/description.h"

namespace qvhost {

struct DeclaredPins {
    std::vector<ovra::PinTableRow> rows;  // in index order
};

// The registered pins of one half, or nullopt with the reason in `why` (no
// twin beside the library, a twin older than the library, a half not built
// on the framework's bases). The twin stays loaded for the process.
std::optional<DeclaredPins> declaredPins(const std::string& libraryPath, const std::string& id, int32_t subType,
                                         std::string& why);

// Why the library has no usable pin-table twin, or "" when it has one.
std::string pinTableProblem(const std::string& libraryPath);

// Every run of printable UTF-16 code units of a file that ends in a NUL, and
// its suffixes: the candidates for identifiers a factory may know. Read once
// per file and process.
const std::unordered_set<ovra::wstring>& utf16Strings(const std::string& path);

// Every disagreement between the described pins of a half and the declared
// ones, one text each: "pin 1 (Cutoff): described float in, the module
// declares int32 in". GUI pins declare no direction, so only their types
// are compared.
std::vector<std::string> pinDisagreements(const HalfDescription& half, const DeclaredPins& declared);

// A declared data type by its value type: float, int32, bool, text, blob,
// audio.
std::string declaredTypeName(int32_t type);

}  // namespace qvhost
