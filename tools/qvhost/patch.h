// Patches: modules of several libraries wired together, DSP and GUI halves,
// with a timeline of values, run block by block like the host runs them.
#pragma once

#include <string>
#include <vector>

#include "description.h"
#include "json_source.h"

namespace qvhost {

struct PatchRunSettings {
    std::string outputDir;
    std::vector<std::string> searchDirs;  // where libraries are looked for, in order
    bool quiet = false;
    bool strict = false;  // non-finite recorded samples fail the run
    bool checkOnly = false;  // read, load and wire the patch, then stop: nothing runs or is written
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
