// Patches: modules of several libraries wired together, DSP and GUI halves,
// with a timeline of values, run block by block like the host runs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/description.h"
#include "io/json_source.h"
#include "patch_file.h"

namespace qvhost {

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

// Runs a patch as read: loads its libraries, makes and wires its modules,
// runs them block by block and writes what it records. Relative library
// paths start at baseDir. Throws Failure, pointing into the patch's source.
PatchResult runPatch(const PatchFile& patch, const std::string& baseDir, const PatchRunSettings& settings);

// Reads and runs a patch, named in messages by the source's name.
PatchResult runPatchJson(const JsonSource& patch, const std::string& baseDir, const PatchRunSettings& settings);

}  // namespace qvhost
