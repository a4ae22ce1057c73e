// A patch as read: its settings, modules, connections, timeline, recordings
// and frame series as the file writes them, checked against the patch rules
// and the limits. The run checks the rest in the order the file is read:
// what needs the loaded libraries (identifiers, pins and their types, loops,
// a module's measured size) and what comes after such checks in that order
// (a module name with '.', the frames limit, output files, a patch that
// writes nothing), so that the first mistake is still the one reported.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/json_source.h"

namespace qvhost {

// What a patch may ask for, each refused beyond its limit; the command line
// raises them (run --max-seconds, --max-rate, --max-modules, --max-frames).
// The run checks the frames, which follow the checks on their module.
struct PatchLimits {
    double seconds = 600;    // length of the run
    int64_t rate = 384000;   // sample rate in Hz
    int64_t modules = 256;   // modules in the patch
    int64_t frames = 1000;   // PNG frames of all "frames" series together
};

// "module.pin", "module.dsp.pin" or "module.gui.pin" as written, and where.
struct WrittenPin {
    std::string text;
    JsonPath at{};
};

struct WrittenModule {
    std::string name;
    std::string library;  // its name, found under "libraries" or in the search folders
    std::string id;
    JsonPath at{};
    std::vector<std::pair<std::string, Json>> sets;  // its own settings: pin name and value
};

struct WrittenConnection {
    WrittenPin from, to;
    JsonPath at{};
};

struct WrittenSet {
    WrittenPin pin;
    Json value;
    JsonPath valueAt{};
    double time = 0;  // seconds
};

struct WrittenRecording {
    std::vector<WrittenPin> signals;
    std::string wav, plot;  // empty when not asked for
    JsonPath at{};
};

struct WrittenFrames {
    std::string module;
    double every = 0.1;
    bool everyWritten = false;
    std::optional<std::pair<int32_t, int32_t>> size;  // the module's own size when absent
    std::string stem;  // the module's name when absent
    bool nameWritten = false;
    JsonPath at{};
};

struct PatchFile {
    const JsonSource* source = nullptr;  // where messages point; outlives the patch
    std::string title;                   // of the plots
    int32_t rate = 48000;
    int32_t block = 64;
    double seconds = 1.0;
    std::vector<std::pair<std::string, std::string>> libraries;  // name and path as written
    std::vector<WrittenModule> modules;                          // in the order they are loaded
    std::vector<WrittenConnection> connections;
    std::vector<WrittenSet> timeline;  // in the file's order, not yet in time order
    std::vector<WrittenRecording> recordings;
    std::vector<WrittenFrames> frames;

    // The library path written for `name`, or nullptr.
    const std::string* libraryPath(const std::string& name) const;
    [[noreturn]] void fail(const JsonPath& at, const std::string& what) const { source->fail(at, what); }
};

// Reads `source` (which must outlive the result) against the patch rules and
// `limits`. Throws Failure at the first value that breaks one.
PatchFile readPatchFile(const JsonSource& source, const PatchLimits& limits);

// A number as the patch's messages quote it: up to 15 significant digits,
// so that a limit and the value beyond it never print alike.
std::string messageNumber(double v);

}  // namespace qvhost
