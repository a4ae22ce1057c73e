// Patches: modules of several libraries wired together, DSP and GUI halves,
// with a timeline of values, run block by block like the host runs them.
#pragma once

#include <string>
#include <vector>

#include "description.h"

namespace qvhost {

struct PatchRunSettings {
    std::string outputDir;
    std::vector<std::string> searchDirs;  // where libraries are looked for, in order
    bool quiet = false;
};

struct PatchResult {
    std::vector<std::string> files;  // written, in order
};

// Runs a patch given as JSON; `source` names it in messages and is the
// folder relative library paths start from. Throws Failure.
PatchResult runPatchJson(const Json& patch, const std::string& source, const std::string& baseDir,
                         const PatchRunSettings& settings);

}  // namespace qvhost
