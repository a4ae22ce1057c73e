// What the run and demo commands share: their options, the folders the
// libraries of a patch are looked for in, and the list of written files.
#pragma once

#include <string>
#include <vector>

#include "patch/patch.h"

namespace CLI {
class App;
}

namespace qvhost {

struct PatchCommandOptions {
    std::string outputDir;                // default: beside the patch, in <patch>-out
    std::vector<std::string> pluginDirs;  // where libraries are looked for first, in order
    bool quiet = false;
    bool strict = false;  // non-finite recorded samples fail the run
};
// --out, --plugins, --quiet and --strict.
void addPatchOptions(CLI::App& command, PatchCommandOptions& options);

// The folder qvhost itself lies in: the build places the libraries there.
std::string ownFolder();

// --plugins folders first, then the given ones, then qvhost's own and the
// installed libraries. Throws Failure for a --plugins folder that is none.
std::vector<std::string> searchDirs(const PatchCommandOptions& options, const std::vector<std::string>& first);

// "<what>: wrote N files to <dir>" and the files, a series of frames as its
// first and last.
void printWritten(const std::string& what, const std::string& dir, const PatchResult& result);

}  // namespace qvhost
