// qvhost check-description and qvhost describe: a description read against
// the pins a library declares, and a description begun from them.
#include <cstdio>
#include <fstream>
#include <set>

#include "abi/abi.h"
#include "commands.h"
#include "failure.h"
#include "json_source.h"
#include "library.h"
#include "pin_table.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

// "pin 3 (Gain): ..." -> 3; -1 for any other text.
int32_t pinIndexOf(const std::string& disagreement) {
    if (disagreement.rfind("pin ", 0) != 0)
        return -1;
    try {
        return std::stoi(disagreement.substr(4));
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

int runCheckDescription(const std::string& descriptionPath, const std::string& libraryPath) {
    const JsonSource source = JsonSource::fromFile(descriptionPath);  // syntax: FILE:LINE:COLUMN
    const LibraryDescription description = parseDescription(source);  // shape: FILE:LINE:COLUMN
    if (libraryPath.empty()) {
        std::printf("%s: %s, pins not compared (no library given)\n", descriptionPath.c_str(),
                    counted(description.modules.size(), "module").c_str());
        return 0;
    }
    const std::string problem = pinTableProblem(libraryPath);
    if (!problem.empty()) {
        std::printf("%s: %s, pins not compared: %s\n", descriptionPath.c_str(),
                    counted(description.modules.size(), "module").c_str(), problem.c_str());
        return 0;
    }
    // Every disagreement, each at the place of the file it concerns.
    std::vector<std::string> errors;
    size_t halves = 0;
    for (size_t i = 0; i < description.modules.size(); ++i) {
        const ModuleDescription& m = description.modules[i];
        for (size_t k = 0; k < m.halves.size(); ++k) {
            const HalfDescription& h = m.halves[k];
            const JsonPath at = JsonPath() / "modules" / i / "halves" / k;
            std::string why;
            const auto declared = declaredPins(libraryPath, m.id, h.subType, why);
            ++halves;
            if (!declared) {
                const JsonPath where = why.find("does not know") != std::string::npos ? JsonPath() / "modules" / i / "id"
                                                                                      : at / "subType";
                errors.push_back(source.where(where) + ": " + m.id + " (" + halfName(h.subType) + ", sub-type " +
                                 std::to_string(h.subType) + "): " +
                                 (why.find("does not know") != std::string::npos
                                      ? "the library registers no such half"
                                      : why));
                continue;
            }
            for (const std::string& d : pinDisagreements(h, *declared)) {
                const int32_t pin = pinIndexOf(d);
                const JsonPath where = pin >= 0 && pin < static_cast<int32_t>(h.pins.size())
                                           ? at / "pins" / static_cast<size_t>(pin)
                                           : at / "pins";
                errors.push_back(source.where(where) + ": " + m.id + " " + halfName(h.subType) + " " + d);
            }
        }
    }
    for (const auto& e : errors)
        std::fprintf(stderr, "%s\n", e.c_str());
    if (!errors.empty()) {
        std::fprintf(stderr, "%s: %s against the pins %s declares\n", descriptionPath.c_str(),
                     counted(errors.size(), "disagreement").c_str(), libraryPath.c_str());
        return kExitFailure;
    }
    std::printf("%s: %s, %s, pins as %s declares them\n", descriptionPath.c_str(),
                counted(description.modules.size(), "module").c_str(), counted(halves, "half", "halves").c_str(),
                libraryPath.c_str());
    return 0;
}

int runDescribe(const std::string& libraryPath, const std::string& output) {
    std::string error;
    if (!host::Library::open(libraryPath, error))
        throw Failure(error);
    const std::string problem = pinTableProblem(libraryPath);
    if (!problem.empty())
        throw Failure("cannot describe " + libraryPath + ": " + problem);
    // Every half the twin knows among the texts of the library, in the order
    // of their identifiers.
    std::set<std::string> ids;
    for (const auto& s : utf16Strings(libraryPath))
        ids.insert(host::toUtf8(s));
    Json modules = Json::array();
    for (const auto& id : ids) {
        Json halves = Json::array();
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2}) {
            std::string why;
            const auto declared = declaredPins(libraryPath, id, subType, why);
            if (!declared)
                continue;
            const bool dsp = subType == SUBTYPE_DSP;
            Json pins = Json::array();
            for (const auto& row : declared->rows) {
                // GUI pins declare no direction: "in" until the author says.
                Json pin{{"index", row.index}, {"name", "Pin" + std::to_string(row.index)}, {"type", typeName(row.type)},
                         {"direction", row.direction == DIRECTION_OUT ? "out" : "in"}};
                if (row.type == DATATYPE_FLOAT)
                    pin["default"] = 0.0;
                else if (row.type == DATATYPE_INT)
                    pin["default"] = 0;
                else if (row.type == DATATYPE_BOOL)
                    pin["default"] = false;
                else if (row.type == DATATYPE_TEXT)
                    pin["default"] = "";
                pins.push_back(pin);
            }
            halves.push_back(Json{{"subType", subType}, {"kind", dsp ? "dsp" : "gui"}, {"pins", pins}});
        }
        if (!halves.empty())
            modules.push_back(Json{{"id", id}, {"summary", ""}, {"halves", halves}});
    }
    if (modules.empty())
        throw Failure("the pin table of " + libraryPath + " knows none of the identifiers found in the library");
    std::string stem = libraryPath.substr(libraryPath.find_last_of("/\\") + 1);
    stem = stem.substr(0, stem.find('.'));
    const std::string text = Json{{"library", stem}, {"modules", modules}}.dump(2) + "\n";
    if (output.empty() || output == "-") {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    std::ofstream out(output, std::ios::binary);
    if (!(out << text))
        throw Failure("cannot write " + output);
    std::fprintf(stderr, "wrote %s: %s; name the pins, set their defaults and the GUI pins' directions\n",
                 output.c_str(), counted(modules.size(), "module").c_str());
    return 0;
}

}  // namespace qvhost
