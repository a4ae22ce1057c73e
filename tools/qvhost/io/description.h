// Module descriptions: what the host knows about a library's modules that the
// binary does not tell: identifiers, halves by sub-type, pin names, types,
// directions and defaults. Each library ships them as <lib>.qvm.json.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qvhost {

using Json = nlohmann::json;

struct PinDescription {
    int32_t index = 0;
    std::string name;
    int32_t type = 0;       // data-type code
    int32_t direction = 0;  // DIRECTION_IN or DIRECTION_OUT
    Json defaultValue;

    bool isInput() const;
    bool isAudio() const;
};

// Inputs that come into being when the host first sets them (from..last).
struct GrowingPins {
    int32_t from = 0;
    int32_t last = 0;
    std::string name;  // pin k is called name + k
    int32_t type = 0;
    Json defaultValue;
};

struct HalfDescription {
    int32_t subType = 0;
    bool dsp = false;
    std::vector<PinDescription> pins;  // in index order, without gaps
    std::optional<GrowingPins> growing;
    bool draws = false;
    int32_t width = 0;  // preferred size of a drawn module
    int32_t height = 0;

    // A pin by name or by index (a growing input included), or nullopt.
    std::optional<PinDescription> findPin(const std::string& nameOrIndex) const;
    std::optional<PinDescription> pinAt(int32_t index) const;
};

struct ModuleDescription {
    std::string id;
    std::string summary;
    std::vector<HalfDescription> halves;
    // The host carries values between this DSP pin and this GUI pin.
    std::optional<std::pair<int32_t, int32_t>> link;

    const HalfDescription* dspHalf() const;
    const HalfDescription* guiHalf() const;
};

struct LibraryDescription {
    std::string path;
    std::string library;
    std::vector<ModuleDescription> modules;

    const ModuleDescription* find(const std::string& id) const;
};

// Where the description of a library lives: beside it.
std::string descriptionPathFor(const std::string& libraryPath);

// Reads and checks a description file; throws Failure
// "FILE:LINE:COLUMN: where: what", pointing at the value in question (or at
// the object that lacks it).
LibraryDescription loadDescription(const std::string& path);
LibraryDescription parseDescription(const Json& doc, const std::string& path);

class JsonSource;
LibraryDescription parseDescription(const JsonSource& source);

// Reads a JSON file; a syntax error becomes "FILE:LINE:COLUMN: what".
Json readJsonFile(const std::string& path);

// Type names as they appear in descriptions and on the command line.
std::string typeName(int32_t type);
int32_t typeFromName(const std::string& name);  // 0 when unknown

// The module's own name of a sub-type, for messages.
std::string halfName(int32_t subType);

}  // namespace qvhost
