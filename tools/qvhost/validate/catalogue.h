// The catalogue of validate checks: each check is one entry (name,
// description, scope, strictness, function), and --list, --only, --skip and
// the documentation all read this one table.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "io/description.h"
#include "library.h"
#include "validate.h"

namespace qvhost {

enum class Status { Passed, Failed, Warning, Skipped, Crashed };
const char* statusName(Status s);

struct Outcome {
    Status status = Status::Passed;
    std::string detail;
    // Figures a check measured, by name ("ordinary": microseconds...), for
    // the reports' tables and JSON.
    std::map<std::string, double> measures{};
};

// What a check works on. Library checks see no module; module checks see
// one half of one described module.
enum class Scope {
    Library,    // the file and its factory
    Described,  // the file against its description
    Module,     // either half of a described module
    Dsp,        // a DSP half
    Gui,        // a GUI half
    Drawing,    // a GUI half that draws
};
const char* scopeName(Scope s);

// Random block sizes run from 1 to this.
inline constexpr int32_t kLargestRandomBlock = 4096;

struct CheckContext {
    const ovra::host::Library& library;
    const std::string& path;
    const LibraryDescription* description;  // null for library checks without one
    const ModuleDescription* module;        // null for library checks
    const HalfDescription* half;
    const ValidateOptions& options;
    std::mt19937_64 rng;
    std::vector<std::string> warnings;  // a check that passes with these is a WARNING

    void warn(const std::string& what) { warnings.push_back(what); }
    // How many rounds of a loop: grows with the strictness.
    int rounds(int atDefault) const;
    bool strict(int level) const { return options.strictness >= level; }
    // Whether DSP checks draw their block sizes and event positions from the
    // seed: asked for, or from strictness 8 on unless sizes were given.
    bool randomBlocks() const {
        return options.randomBlocks || (options.blocks.empty() && options.strictness >= 8);
    }
};

using CheckFunction = Outcome (*)(CheckContext&);

struct Check {
    const char* name;
    const char* description;
    Scope scope;
    int strictness;  // runs from this level on
    CheckFunction run;
};

const std::vector<Check>& catalogue();

// Whether the options run the check of this name.
bool checkSelected(const std::string& name, const ValidateOptions& options);
bool checkSelected(const Check& check, const ValidateOptions& options);

// The check a module check needs to have passed for its half first ("create",
// "dsp-pins", "gui-pins", or "paint" for painting with hostile values), or
// null for checks that need none.
const char* prerequisiteOf(const Check& check);

// Thrown inside a check to fail it with a reason.
struct CheckFailed {
    std::string why;
};
[[noreturn]] void fail(const std::string& why);
inline void expect(bool ok, const std::string& why) {
    if (!ok)
        fail(why);
}

// What each strictness level adds, for --list and the documentation.
struct StrictnessLevel {
    int level;
    const char* adds;
};
const std::vector<StrictnessLevel>& strictnessLevels();

}  // namespace qvhost
