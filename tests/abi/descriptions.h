// The module descriptions that travel beside each library
// (<library>.qvm.json), read as a host reads them: which identifiers a
// library offers, under which sub-types, and the pins of each half.
#pragma once

#include <string>
#include <vector>

namespace rawabi {

struct PinDescription {
    int index = 0;
    std::string type;       // "float", "int", "bool", "text", "audio", "blob"
    std::string direction;  // "in", "out"
};

struct HalfDescription {
    int subType = 0;
    std::string kind;  // "dsp", "gui"
    bool draws = false;
    bool growing = false;
    std::vector<PinDescription> pins;
};

struct ModuleDescription {
    std::u16string id;
    std::string name;  // the identifier as UTF-8, for test names
    std::vector<HalfDescription> halves;
};

// Reads <dir>/<library>.qvm.json. Throws std::runtime_error with the reason
// when the file is missing or malformed.
std::vector<ModuleDescription> readDescriptions(const std::string& dir, const std::string& library);

}  // namespace rawabi
