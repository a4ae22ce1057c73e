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

[[noreturn]] void bad(const std::string& path, const std::string& where, const std::string& what) {
    throw Failure(path + ": " + where + ": " + what);
}

const Json& member(const Json& object, const char* key, const std::string& path, const std::string& where) {
    if (!object.is_object() || !object.contains(key))
        bad(path, where, std::string("missing \"") + key + "\"");
    return object.at(key);
}

int32_t intMember(const Json& object, const char* key, const std::string& path, const std::string& where) {
    const Json& v = member(object, key, path, where);
    if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > INT32_MAX) ||
        v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > INT32_MAX)
        bad(path, where, std::string("\"") + key + "\" must be an integer of 32 bits");
    return v.get<int32_t>();
}

std::string textMember(const Json& object, const char* key, const std::string& path, const std::string& where) {
    const Json& v = member(object, key, path, where);
    if (!v.is_string())
        bad(path, where, std::string("\"") + key + "\" must be a string");
    return v.get<std::string>();
}

int32_t typeMember(const Json& object, const std::string& path, const std::string& where) {
    const std::string name = textMember(object, "type", path, where);
    const int32_t type = typeFromName(name);
    if (type == 0)
        bad(path, where, "unknown type \"" + name + "\"");
    return type;
}

}  // namespace

LibraryDescription parseDescription(const Json& doc, const std::string& path) {
    LibraryDescription lib;
    lib.path = path;
    lib.library = textMember(doc, "library", path, "top level");
    const Json& modules = member(doc, "modules", path, "top level");
    if (!modules.is_array())
        bad(path, "top level", "\"modules\" must be a list");
    std::set<std::string> ids;
    for (const Json& m : modules) {
        ModuleDescription module;
        module.id = textMember(m, "id", path, "a module");
        const std::string where = "module \"" + module.id + "\"";
        if (!ids.insert(module.id).second)
            bad(path, where, "described twice");
        if (m.contains("summary") && m["summary"].is_string())
            module.summary = m["summary"].get<std::string>();
        const Json& halves = member(m, "halves", path, where);
        if (!halves.is_array() || halves.empty())
            bad(path, where, "\"halves\" must be a non-empty list");
        for (const Json& h : halves) {
            HalfDescription half;
            half.subType = intMember(h, "subType", path, where);
            const std::string kind = textMember(h, "kind", path, where);
            if (kind != "dsp" && kind != "gui")
                bad(path, where, "kind must be \"dsp\" or \"gui\"");
            half.dsp = kind == "dsp";
            const std::string hwhere = where + " " + kind;
            for (const Json& p : member(h, "pins", path, hwhere)) {
                PinDescription pin;
                pin.index = intMember(p, "index", path, hwhere);
                pin.name = textMember(p, "name", path, hwhere);
                pin.type = typeMember(p, path, hwhere + " pin " + pin.name);
                const std::string dir = textMember(p, "direction", path, hwhere);
                if (dir != "in" && dir != "out")
                    bad(path, hwhere + " pin " + pin.name, "direction must be \"in\" or \"out\"");
                pin.direction = dir == "in" ? DIRECTION_IN : DIRECTION_OUT;
                pin.defaultValue = p.value("default", Json());
                if (pin.index != static_cast<int32_t>(half.pins.size()))
                    bad(path, hwhere, "pin " + pin.name + " has index " + std::to_string(pin.index) + ", expected " +
                                          std::to_string(half.pins.size()));
                half.pins.push_back(pin);
            }
            if (h.contains("growing")) {
                const Json& g = h["growing"];
                GrowingPins grow;
                grow.from = intMember(g, "from", path, hwhere);
                grow.last = intMember(g, "last", path, hwhere);
                grow.name = textMember(g, "name", path, hwhere);
                grow.type = typeMember(g, path, hwhere + " growing inputs");
                grow.defaultValue = g.value("default", Json());
                if (grow.from != static_cast<int32_t>(half.pins.size()) || grow.last < grow.from)
                    bad(path, hwhere, "growing inputs must follow the fixed pins");
                half.growing = grow;
            }
            if (h.contains("draws") && !h["draws"].is_boolean())
                bad(path, hwhere, "\"draws\" must be true or false");
            half.draws = h.value("draws", false);
            if (h.contains("size")) {
                const Json& s = h["size"];
                if (!s.is_array() || s.size() != 2 || !s[0].is_number_integer() || !s[1].is_number_integer())
                    bad(path, hwhere, "\"size\" must be [width, height]");
                half.width = s[0].get<int32_t>();
                half.height = s[1].get<int32_t>();
            }
            module.halves.push_back(std::move(half));
        }
        if (m.contains("link")) {
            const Json& l = m["link"];
            module.link = std::make_pair(intMember(l, "dsp", path, where), intMember(l, "gui", path, where));
        }
        lib.modules.push_back(std::move(module));
    }
    return lib;
}

LibraryDescription loadDescription(const std::string& path) { return parseDescription(readJsonFile(path), path); }

}  // namespace qvhost
