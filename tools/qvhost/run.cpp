// qvhost run and qvhost demo: patches of several libraries.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "demo_patch.h"
#include "failure.h"
#include "patch.h"
#include "platform/program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

namespace {

// The folder qvhost itself lies in: the build places the libraries there.
std::string ownFolder() {
    const std::string self = ownExecutable();
    return self.empty() ? std::string(".") : utf8Of(pathOf(self).parent_path());
}

void report(const std::string& what, const std::string& dir, const PatchResult& result) {
    std::printf("%s: wrote %zu files to %s\n", what.c_str(), result.files.size(), dir.c_str());
    // Frames are listed as one range.
    size_t i = 0;
    while (i < result.files.size()) {
        const std::string& f = result.files[i];
        const auto stem = [](const std::string& p) {
            const auto u = p.rfind('_');
            return u == std::string::npos ? p : p.substr(0, u);
        };
        size_t j = i + 1;
        if (f.size() > 9 && f.compare(f.size() - 9, 5, "_0000") == 0)
            while (j < result.files.size() && stem(result.files[j]) == stem(f))
                ++j;
        if (j - i > 1)
            std::printf("  %s ... %s (%zu frames)\n", f.c_str(), result.files[j - 1].c_str(), j - i);
        else
            std::printf("  %s\n", f.c_str());
        i = j;
    }
}

}  // namespace

int runPatch(const RunOptions& o) {
    const Json patch = readJsonFile(o.patch);
    const fs::path patchPath = pathOf(o.patch);
    PatchRunSettings settings;
    settings.outputDir = o.outputDir.empty() ? utf8Of(patchPath.stem()) + "-out" : o.outputDir;
    if (!o.pluginDir.empty())
        settings.searchDirs.push_back(o.pluginDir);
    settings.searchDirs.push_back(patchPath.has_parent_path() ? utf8Of(patchPath.parent_path()) : ".");
    settings.searchDirs.push_back(ownFolder());
    settings.quiet = o.quiet;
    const PatchResult result = runPatchJson(
        patch, o.patch, patchPath.has_parent_path() ? utf8Of(patchPath.parent_path()) : ".", settings);
    report(o.patch, settings.outputDir, result);
    return 0;
}

int runDemo(const RunOptions& o) {
    const Json patch = Json::parse(kDemoPatch);
    PatchRunSettings settings;
    settings.outputDir = o.outputDir.empty() ? utf8Of(pathOf(ownFolder()) / "demo") : o.outputDir;
    if (!o.pluginDir.empty())
        settings.searchDirs.push_back(o.pluginDir);
    settings.searchDirs.push_back(ownFolder());
    settings.quiet = o.quiet;
    if (!o.quiet)
        std::printf("demo: a gate opens \"QV ADSR4\" at 0.1 s and closes it at 0.9 s; the envelope goes through\n"
                    "\"ZVR_Volt2GUIFloat\" to a \"WB-Meter-Float-SDK3\" and comes back through \"ZVR_GUIFloat2Volt\"\n");
    const PatchResult result = runPatchJson(patch, "demo", ownFolder(), settings);
    report("demo", settings.outputDir, result);
    return 0;
}

}  // namespace qvhost
