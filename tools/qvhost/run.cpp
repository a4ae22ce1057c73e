// qvhost run and qvhost demo: patches of several libraries.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "demo_patch.h"
#include "failure.h"
#include "patch.h"
#include "suggest.h"

#ifndef QVHOST_PLUGINS_FROM_BIN
#define QVHOST_PLUGINS_FROM_BIN "../lib/ovra"
#endif
#include "platform/program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

namespace {

// The folder qvhost itself lies in: the build places the libraries there.
std::string ownFolder() {
    const std::string self = ownExecutable();
    return self.empty() ? std::string(".") : utf8Of(pathOf(self).parent_path());
}

// Where an installed qvhost finds the installed libraries: <prefix>/lib/ovra
// beside <prefix>/bin.
std::string installedFolder() {
    return utf8Of((pathOf(ownFolder()) / QVHOST_PLUGINS_FROM_BIN).lexically_normal());
}

// --plugins folders first, then the given ones, then qvhost's own and the
// installed libraries.
std::vector<std::string> searchDirs(const RunOptions& o, const std::vector<std::string>& first) {
    std::vector<std::string> dirs;
    for (const auto& d : o.pluginDirs) {
        std::error_code ec;
        if (!fs::is_directory(pathOf(d), ec))
            throw Failure("--plugins " + d + ": no such folder");
        dirs.push_back(d);
    }
    dirs.insert(dirs.end(), first.begin(), first.end());
    dirs.push_back(ownFolder());
    dirs.push_back(installedFolder());
    return dirs;
}

void report(const std::string& what, const std::string& dir, const PatchResult& result) {
    const size_t frames = [&] {
        size_t n = 0;
        for (const auto& f : result.frames)
            n += f.count;
        return n;
    }();
    std::printf("%s: wrote %s to %s\n", what.c_str(), counted(result.files.size() + frames, "file").c_str(),
                dir.c_str());
    for (const auto& f : result.files)
        std::printf("  %s\n", f.c_str());
    for (const auto& f : result.frames)
        if (f.count == 1)
            std::printf("  %s\n", f.first.c_str());
        else
            std::printf("  %s ... %s (%zu frames)\n", f.first.c_str(), f.last.c_str(), f.count);
}

}  // namespace

int runPatch(const RunOptions& o) {
    const JsonSource patch = JsonSource::fromFile(o.patch);
    const fs::path patchPath = pathOf(o.patch);
    const std::string patchFolder = patchPath.has_parent_path() ? utf8Of(patchPath.parent_path()) : ".";
    PatchRunSettings settings;
    settings.outputDir = o.outputDir.empty() ? utf8Of(patchPath.stem()) + "-out" : o.outputDir;
    settings.searchDirs = searchDirs(o, {patchFolder});
    settings.quiet = o.quiet;
    settings.strict = o.strict;
    settings.checkOnly = o.checkOnly;
    settings.limits = o.limits;
    const PatchResult result = runPatchJson(patch, patchFolder, settings);
    if (o.checkOnly) {
        std::printf("%s: the patch is sound; nothing was run or written\n", o.patch.c_str());
        return 0;
    }
    report(o.patch, settings.outputDir, result);
    return 0;
}

int runDemo(const RunOptions& o) {
    const JsonSource patch("demo", kDemoPatch);
    PatchRunSettings settings;
    // In the build tree the demo writes beside qvhost; an installed qvhost
    // writes to ./demo, as its own folder is seldom the user's.
    std::error_code ec;
    const bool inBuildTree = fs::exists(pathOf(ownFolder()) / "adsr.qvm", ec);
    settings.outputDir = !o.outputDir.empty() ? o.outputDir
                         : inBuildTree        ? utf8Of(pathOf(ownFolder()) / "demo")
                                              : std::string("demo");
    settings.searchDirs = searchDirs(o, {});
    settings.quiet = o.quiet;
    settings.strict = o.strict;
    if (!o.quiet)
        std::printf("demo: a gate opens \"QV ADSR4\" at 0.1 s and closes it at 0.9 s; the envelope goes through\n"
                    "\"ZVR_Volt2GUIFloat\" to a \"WB-Meter-Float-SDK3\" and comes back through \"ZVR_GUIFloat2Volt\"\n");
    const PatchResult result = runPatchJson(patch, ownFolder(), settings);
    report("demo", settings.outputDir, result);
    return 0;
}

}  // namespace qvhost
