#include "description.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "abi/abi.h"
#include "failure.h"
#include "json_source.h"
#include "platform/program_path.h"

namespace qvhost {

using namespace ovra;

bool PinDescription::isInput() const { return direction == DIRECTION_IN; }
bool PinDescription::isAudio() const { return type == DATATYPE_AUDIO; }

std::optional<PinDescription> HalfDescription::pinAt(int32_t index) const {
    if (index >= 0 && index < static_cast<int32_t>(pins.size()))
        return pins[static_cast<size_t>(index)];
    if (growing && index >= growing->from && index <= growing->last)
        return PinDescription{index, growing->name + std::to_string(index), growing->type, DIRECTION_IN,
                              growing->defaultValue};
    return std::nullopt;
}

std::optional<PinDescription> HalfDescription::findPin(const std::string& token) const {
    for (const auto& p : pins)
        if (p.name == token)
            return p;
    auto isNumber = [](const std::string& s) {
        return !s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (isNumber(token))
        return pinAt(std::stoi(token));
    if (growing && token.rfind(growing->name, 0) == 0 && isNumber(token.substr(growing->name.size())))
        return pinAt(std::stoi(token.substr(growing->name.size())));
    return std::nullopt;
}

const HalfDescription* ModuleDescription::dspHalf() const {
    for (const auto& h : halves)
        if (h.dsp)
            return &h;
    return nullptr;
}

const HalfDescription* ModuleDescription::guiHalf() const {
    for (const auto& h : halves)
        if (!h.dsp)
            return &h;
    return nullptr;
}

const ModuleDescription* LibraryDescription::find(const std::string& id) const {
    for (const auto& m : modules)
        if (m.id == id)
            return &m;
    return nullptr;
}

std::string descriptionPathFor(const std::string& libraryPath) { return libraryPath + ".json"; }

std::string typeName(int32_t type) {
    switch (type) {
    case DATATYPE_TEXT: return "text";
    case DATATYPE_BOOL: return "bool";
    case DATATYPE_AUDIO: return "audio";
    case DATATYPE_FLOAT: return "float";
    case DATATYPE_INT: return "int";
    case DATATYPE_BLOB: return "blob";
    default: return "type " + std::to_string(type);
    }
}

int32_t typeFromName(const std::string& name) {
    for (int32_t t : {DATATYPE_TEXT, DATATYPE_BOOL, DATATYPE_AUDIO, DATATYPE_FLOAT, DATATYPE_INT, DATATYPE_BLOB})
        if (typeName(t) == name)
            return t;
    return 0;
}

std::string halfName(int32_t subType) {
    switch (subType) {
    case SUBTYPE_DSP: return "dsp";
    case SUBTYPE_GUI_V1: return "gui";
    case SUBTYPE_GUI_V2: return "gui2";
    default: return "sub-type " + std::to_string(subType);
    }
}

Json readJsonFile(const std::string& path) { return JsonSource::fromFile(path).doc(); }

namespace {

// Reads a description with the place of every value, so that each message
// points at the line and column of the file the author edits.
class Reader {
public:
    explicit Reader(const JsonSource& src) : src_(src) {}

    [[noreturn]] void bad(const JsonPath& at, const std::string& what) const { src_.fail(at, what); }

    const Json& member(const Json& object, const JsonPath& at, const char* key) const {
        if (!object.is_object() || !object.contains(key))
            bad(at, std::string("missing \"") + key + "\"");
        return object.at(key);
    }

    int32_t intMember(const Json& object, const JsonPath& at, const char* key) const {
        const Json& v = member(object, at, key);
        if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > INT32_MAX) ||
            v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > INT32_MAX)
            bad(at / key, std::string("\"") + key + "\" must be an integer of 32 bits");
        return v.get<int32_t>();
    }

    std::string textMember(const Json& object, const JsonPath& at, const char* key) const {
        const Json& v = member(object, at, key);
        if (!v.is_string())
            bad(at / key, std::string("\"") + key + "\" must be a string");
        return v.get<std::string>();
    }

    int32_t typeMember(const Json& object, const JsonPath& at) const {
        const std::string name = textMember(object, at, "type");
        const int32_t type = typeFromName(name);
        if (type == 0)
            bad(at / "type", "unknown type \"" + name + "\" (text, bool, audio, float, int or blob)");
        return type;
    }

    HalfDescription half(const Json& h, const JsonPath& at) const {
        HalfDescription half;
        half.subType = intMember(h, at, "subType");
        const std::string kind = textMember(h, at, "kind");
        if (kind != "dsp" && kind != "gui")
            bad(at / "kind", "kind must be \"dsp\" or \"gui\"");
        half.dsp = kind == "dsp";
        const Json& pins = member(h, at, "pins");
        if (!pins.is_array())
            bad(at / "pins", "\"pins\" must be a list");
        for (size_t k = 0; k < pins.size(); ++k) {
            const Json& p = pins[k];
            const JsonPath pat = at / "pins" / k;
            PinDescription pin;
            pin.index = intMember(p, pat, "index");
            pin.name = textMember(p, pat, "name");
            pin.type = typeMember(p, pat);
            const std::string dir = textMember(p, pat, "direction");
            if (dir != "in" && dir != "out")
                bad(pat / "direction", "pin " + pin.name + ": direction must be \"in\" or \"out\"");
            pin.direction = dir == "in" ? DIRECTION_IN : DIRECTION_OUT;
            pin.defaultValue = p.value("default", Json());
            if (pin.index != static_cast<int32_t>(half.pins.size()))
                bad(pat / "index", "pin " + pin.name + " has index " + std::to_string(pin.index) + ", expected " +
                                       std::to_string(half.pins.size()));
            half.pins.push_back(pin);
        }
        if (h.contains("growing")) {
            const Json& g = h["growing"];
            const JsonPath gat = at / "growing";
            GrowingPins grow;
            grow.from = intMember(g, gat, "from");
            grow.last = intMember(g, gat, "last");
            grow.name = textMember(g, gat, "name");
            grow.type = typeMember(g, gat);
            grow.defaultValue = g.value("default", Json());
            if (grow.from != static_cast<int32_t>(half.pins.size()) || grow.last < grow.from)
                bad(gat, "growing inputs must follow the fixed pins");
            half.growing = grow;
        }
        if (h.contains("draws") && !h["draws"].is_boolean())
            bad(at / "draws", "\"draws\" must be true or false");
        half.draws = h.value("draws", false);
        if (h.contains("size")) {
            const Json& sz = h["size"];
            if (!sz.is_array() || sz.size() != 2 || !sz[0].is_number_integer() || !sz[1].is_number_integer())
                bad(at / "size", "\"size\" must be [width, height]");
            half.width = sz[0].get<int32_t>();
            half.height = sz[1].get<int32_t>();
        }
        return half;
    }

    LibraryDescription library() const {
        const Json& doc = src_.doc();
        const JsonPath top;
        LibraryDescription lib;
        lib.path = src_.name();
        lib.library = textMember(doc, top, "library");
        const Json& modules = member(doc, top, "modules");
        if (!modules.is_array())
            bad(top / "modules", "\"modules\" must be a list");
        std::set<std::string> ids;
        for (size_t i = 0; i < modules.size(); ++i) {
            const Json& m = modules[i];
            const JsonPath at = top / "modules" / i;
            ModuleDescription module;
            module.id = textMember(m, at, "id");
            if (!ids.insert(module.id).second)
                bad(at / "id", "module \"" + module.id + "\" described twice");
            if (m.contains("summary") && m["summary"].is_string())
                module.summary = m["summary"].get<std::string>();
            const Json& halves = member(m, at, "halves");
            if (!halves.is_array() || halves.empty())
                bad(at / "halves", "\"halves\" must be a non-empty list");
            for (size_t k = 0; k < halves.size(); ++k)
                module.halves.push_back(half(halves[k], at / "halves" / k));
            if (m.contains("link")) {
                const Json& l = m["link"];
                module.link = std::make_pair(intMember(l, at / "link", "dsp"), intMember(l, at / "link", "gui"));
            }
            lib.modules.push_back(std::move(module));
        }
        return lib;
    }

private:
    const JsonSource& src_;
};

}  // namespace

LibraryDescription parseDescription(const JsonSource& source) { return Reader(source).library(); }

LibraryDescription parseDescription(const Json& doc, const std::string& path) {
    // Laid out one value to a line, so that a message still names a line.
    return parseDescription(JsonSource(path, doc.dump(2)));
}

LibraryDescription loadDescription(const std::string& path) { return parseDescription(JsonSource::fromFile(path)); }

}  // namespace qvhost
