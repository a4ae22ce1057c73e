#include "pin_table.h"

#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "library.h"
#include "output_capture.h"

namespace qvhost {

using namespace ovra;

namespace {

struct Twin {
    std::unique_ptr<host::Library> library;
    GetPinTableFunction entry = nullptr;
    std::string why;  // when there is no entry
};

Twin openTwin(const std::string& libraryPath) {
    Twin twin;
    const std::string path = libraryPath + kPinTableSuffix;
    std::error_code ec;
    const auto twinTime = std::filesystem::last_write_time(pathOf(path), ec);
    if (ec) {
        twin.why = "no pin table beside the library (" + path + "; ovra_add_plugin builds one)";
        return twin;
    }
    const auto libraryTime = std::filesystem::last_write_time(pathOf(libraryPath), ec);
    if (!ec && twinTime < libraryTime) {
        twin.why = "the pin table " + path + " is older than the library; rebuild it";
        return twin;
    }
    std::string error;
    twin.library = host::Library::open(path, error);
    if (!twin.library) {
        twin.why = "the pin table cannot be loaded: " + error;
        return twin;
    }
    twin.entry = reinterpret_cast<GetPinTableFunction>(twin.library->symbol(kPinTableEntry));
    if (twin.entry == nullptr)
        twin.why = "the pin table " + path + " has no " + kPinTableEntry + " entry";
    return twin;
}

const char* directionName(int32_t direction) {
    return direction == DIRECTION_IN ? "in" : direction == DIRECTION_OUT ? "out" : "?";
}

}  // namespace

std::string declaredTypeName(int32_t type) {
    switch (type) {
    case DATATYPE_FLOAT: return "float";
    case DATATYPE_INT: return "int32";
    case DATATYPE_BOOL: return "bool";
    case DATATYPE_TEXT: return "text";
    case DATATYPE_BLOB: return "blob";
    case DATATYPE_AUDIO: return "audio";
    default: return "type " + std::to_string(type);
    }
}

namespace {

const Twin& twinOf(const std::string& libraryPath) {
    // Never destroyed: the twin's factory goes with the twin's own exit
    // handlers, which may run before this map's destructor would.
    static auto& twins = *new std::map<std::string, Twin>();
    auto it = twins.find(libraryPath);
    if (it == twins.end())
        it = twins.emplace(libraryPath, openTwin(libraryPath)).first;
    return it->second;
}

}  // namespace

std::string pinTableProblem(const std::string& libraryPath) { return twinOf(libraryPath).why; }

std::optional<DeclaredPins> declaredPins(const std::string& libraryPath, const std::string& id, int32_t subType,
                                         std::string& why) {
    const Twin& twin = twinOf(libraryPath);
    if (twin.entry == nullptr) {
        why = twin.why;
        return std::nullopt;
    }
    const wstring wide = host::fromUtf8(id);
    int32_t count = 0;
    int32_t rc = twin.entry(wide.c_str(), subType, nullptr, 0, &count);
    DeclaredPins out;
    if (rc == RC_OK && count > 0) {
        out.rows.resize(static_cast<size_t>(count));
        rc = twin.entry(wide.c_str(), subType, out.rows.data(), count, &count);
        out.rows.resize(static_cast<size_t>(std::max(0, std::min<int32_t>(count, static_cast<int32_t>(out.rows.size())))));
    }
    if (rc != RC_OK) {
        why = rc == RC_NOT_FOUND ? "the pin table does not know this half"
                                 : "the pin table has no pins for this half (not built on the framework's bases)";
        return std::nullopt;
    }
    return out;
}

std::vector<std::string> pinDisagreements(const HalfDescription& half, const DeclaredPins& declared) {
    std::vector<std::string> out;
    std::map<int32_t, const PinTableRow*> byIndex;
    for (const auto& row : declared.rows)
        byIndex[row.index] = &row;
    auto describedSide = [&](const PinDescription& pin) {
        return half.dsp ? typeName(pin.type) + " " + directionName(pin.direction) : typeName(pin.type);
    };
    auto declaredSide = [&](const PinTableRow& row) {
        return half.dsp ? declaredTypeName(row.type) + " " + directionName(row.direction)
                        : declaredTypeName(row.type);
    };
    auto label = [](const PinDescription& pin) { return "pin " + std::to_string(pin.index) + " (" + pin.name + ")"; };
    for (const auto& pin : half.pins) {
        const auto found = byIndex.find(pin.index);
        if (found == byIndex.end()) {
            out.push_back(label(pin) + ": described " + describedSide(pin) + ", the module declares no such pin");
            continue;
        }
        const PinTableRow& row = *found->second;
        const bool sameType = row.type == pin.type;
        const bool sameDirection = !half.dsp || row.direction == pin.direction;
        if (!sameType || !sameDirection)
            out.push_back(label(pin) + ": described " + describedSide(pin) + ", the module declares " +
                          declaredSide(row));
    }
    for (const auto& row : declared.rows) {
        if (row.index >= 0 && row.index < static_cast<int32_t>(half.pins.size()))
            continue;
        if (const auto growing = half.pinAt(row.index)) {
            if (row.type != growing->type)
                out.push_back(label(*growing) + ": described " + describedSide(*growing) + ", the module declares " +
                              declaredSide(row));
            continue;
        }
        out.push_back("pin " + std::to_string(row.index) + ": the module declares " + declaredSide(row) +
                      ", the description has no such pin");
    }
    return out;
}

}  // namespace qvhost
