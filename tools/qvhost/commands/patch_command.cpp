#include "patch_command.h"

#include <cstdio>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "failure.h"
#include "platform/program_path.h"
#include "io/suggest.h"

#ifndef QVHOST_PLUGINS_FROM_BIN
#define QVHOST_PLUGINS_FROM_BIN "../lib/ovra"
#endif

namespace qvhost {

namespace fs = std::filesystem;

void addPatchOptions(CLI::App& command, PatchCommandOptions& o) {
    command.add_option("--out", o.outputDir, "Folder for the WAV and PNG files");
    command.add_option("--plugins", o.pluginDirs, "Folder searched first for the libraries (repeat for more)")
        ->allow_extra_args(false);
    command.add_flag("-q,--quiet", o.quiet, "Print only where the files are");
    command.add_flag("--strict", o.strict, "Fail when a recorded signal is not finite (nan or inf)");
}

std::string ownFolder() {
    const std::string self = ownExecutable();
    return self.empty() ? std::string(".") : utf8Of(pathOf(self).parent_path());
}

namespace {

// Where an installed qvhost finds the installed libraries: <prefix>/lib/ovra
// beside <prefix>/bin.
std::string installedFolder() {
    return utf8Of((pathOf(ownFolder()) / QVHOST_PLUGINS_FROM_BIN).lexically_normal());
}

}  // namespace

std::vector<std::string> searchDirs(const PatchCommandOptions& o, const std::vector<std::string>& first) {
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

void printWritten(const std::string& what, const std::string& dir, const PatchResult& result) {
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

}  // namespace qvhost
