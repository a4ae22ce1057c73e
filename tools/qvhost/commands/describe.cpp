// qvhost describe: a description skeleton begun from the pins a library
// declares.
#include <cstdio>
#include <fstream>
#include <set>

#include <CLI/CLI.hpp>

#include "abi/abi.h"
#include "command.h"
#include "io/description.h"
#include "failure.h"
#include "library.h"
#include "io/suggest.h"
#include "validate/pin_table.h"

namespace qvhost {

using namespace ovra;

namespace {

// Writes a description skeleton of every half the library's pin table knows.
int describe(const std::string& libraryPath, const std::string& output) {
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

class DescribeCommand : public Command {
public:
    DescribeCommand() : Command("describe", "Write a description skeleton from the pins a library declares") {}
    void addOptions(CLI::App& command) override {
        command.add_option("LIB", library_, "A .qvm library built with ovra_add_plugin (its .qvm.pins beside it)")
            ->required();
        command.add_option("-o,--output", output_, "The .qvm.json to write (default: standard output)");
    }
    int run() override { return describe(library_, output_); }

private:
    std::string library_, output_;
};

}  // namespace

std::unique_ptr<Command> makeDescribeCommand() { return std::make_unique<DescribeCommand>(); }

}  // namespace qvhost
