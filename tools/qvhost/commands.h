// The qvhost commands, each callable on its own (main only parses the
// command line). Each answers the process exit code and throws Failure for
// the user's mistakes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "description.h"
#include "library.h"
#include "patch.h"

namespace qvhost {

// A library with its description; the description is optional for info and
// validate only.
struct LoadedLibrary {
    std::unique_ptr<ovra::host::Library> library;
    std::optional<LibraryDescription> description;
    std::string descriptionProblem;  // why there is none
};
LoadedLibrary openLibrary(const std::string& path, bool needDescription);
// Throws Failure naming the nearest identifiers when `id` is not in the library.
const ModuleDescription& findModule(const LoadedLibrary& lib, const std::string& id);
std::string unknownIdentifier(const LoadedLibrary& lib, const std::string& id);

int runInfo(const std::vector<std::string>& paths, bool json);

// Checks a description file (its shape; with a library, its pins against the
// library's pin table), each problem at its FILE:LINE:COLUMN.
int runCheckDescription(const std::string& descriptionPath, const std::string& libraryPath);
// Writes a description skeleton of every half the library's pin table knows.
int runDescribe(const std::string& libraryPath, const std::string& output);

struct RenderOptions {
    std::string library;
    std::string id;
    std::vector<std::string> sets;  // PIN=VALUE[@TIME]
    int32_t rate = 48000;
    int32_t block = 64;
    double seconds = 1.0;
    std::string output;
    std::string plot;
    bool values = false;  // print the control values the module sends
    bool strict = false;  // non-finite output fails the render
};
int runRender(const RenderOptions& options);

struct PaintOptions {
    std::string library;
    std::string id;
    std::vector<std::string> sets;  // PIN=VALUE
    std::string size;               // WxH
    std::string output;
};
int runPaint(const PaintOptions& options);

struct RunOptions {
    std::string patch;
    std::string outputDir;   // default: beside the patch, in <patch>-out
    std::vector<std::string> pluginDirs;  // where libraries are looked for first, in order
    bool quiet = false;
    bool strict = false;  // non-finite recorded samples fail the run
    bool checkOnly = false;  // read, load and wire the patch; write nothing
    PatchLimits limits;
};
int runPatch(const RunOptions& options);
// The demo: the built-in patch, written to outputDir.
int runDemo(const RunOptions& options);

// validate: validate/validate.h

}  // namespace qvhost
