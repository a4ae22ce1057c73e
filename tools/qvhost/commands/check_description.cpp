// qvhost check-description: a description read against the pins a library
// declares.
#include <cstdio>

#include <CLI/CLI.hpp>

#include "command.h"
#include "io/description.h"
#include "failure.h"
#include "io/json_source.h"
#include "io/suggest.h"
#include "validate/pin_table.h"

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

// Checks a description file (its shape; with a library, its pins against the
// library's pin table), each problem at its FILE:LINE:COLUMN.
int checkDescription(const std::string& descriptionPath, const std::string& libraryPath) {
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

class CheckDescriptionCommand : public Command {
public:
    CheckDescriptionCommand()
        : Command("check-description",
                  "Check a description file, and its pins against a library's (the build runs it)") {}
    void addOptions(CLI::App& command) override {
        command.add_option("DESCRIPTION", description_, "The .qvm.json")->required();
        command.add_option("LIB", library_, "The library whose pin table the pins are compared with");
    }
    int run() override { return checkDescription(description_, library_); }

private:
    std::string description_, library_;
};

}  // namespace

std::unique_ptr<Command> makeCheckDescriptionCommand() { return std::make_unique<CheckDescriptionCommand>(); }

}  // namespace qvhost
