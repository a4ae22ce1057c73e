// Patches: modules of several libraries wired together, DSP and GUI halves,
// with a timeline of values, run block by block like the host runs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/description.h"
#include "io/json_source.h"

namespace qvhost {

// What a patch may ask for, each refused at load beyond its limit; the
// command line raises them (run --max-seconds, --max-rate, --max-modules,
// --max-frames).
struct PatchLimits {
    double seconds = 600;    // length of the run
    int64_t rate = 384000;   // sample rate in Hz
    int64_t modules = 256;   // modules in the patch
    int64_t frames = 1000;   // PNG frames of all "frames" series together
};

struct PatchRunSettings {
    std::string outputDir;
    std::vector<std::string> searchDirs;  // where libraries are looked for, in order
    bool quiet = false;
    bool strict = false;  // non-finite recorded samples fail the run
    bool checkOnly = false;  // read, load and wire the patch, then stop: nothing runs or is written
    PatchLimits limits;
};

struct FrameFiles {
    std::string first, last;
    size_t count = 0;
};

struct PatchResult {
    std::vector<std::string> files;  // written, in order, frames aside
    std::vector<FrameFiles> frames;  // one series per "frames" entry
};

// Runs a patch, named in messages by the source's name; relative library
// paths start at baseDir. Throws Failure.
PatchResult runPatchJson(const JsonSource& patch, const std::string& baseDir, const PatchRunSettings& settings);

}  // namespace qvhost
