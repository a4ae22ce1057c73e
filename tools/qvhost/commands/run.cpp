// qvhost run: a patch of modules from several libraries.
#include <cstdio>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "command.h"
#include "patch_command.h"
#include "platform/program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

namespace {

class RunCommand : public Command {
public:
    RunCommand() : Command("run", "Run a patch of modules from several libraries") {}
    void addOptions(CLI::App& command) override {
        command.add_option("PATCH", patch_, "The patch (.json)")->required();
        addPatchOptions(command, options_);
        command.add_flag("--check", checkOnly_, "Read, load and wire the patch, then stop: nothing runs or is written");
        command.add_option("--max-seconds", limits_.seconds, "Longest run a patch may ask for, in seconds")
            ->capture_default_str()->check(CLI::PositiveNumber);
        command.add_option("--max-rate", limits_.rate, "Highest sample rate a patch may ask for, in Hz")
            ->capture_default_str()->check(CLI::PositiveNumber);
        command.add_option("--max-modules", limits_.modules, "Most modules a patch may hold")
            ->capture_default_str()->check(CLI::PositiveNumber);
        command.add_option("--max-frames", limits_.frames, "Most PNG frames a patch may ask for, all series together")
            ->capture_default_str()->check(CLI::PositiveNumber);
    }
    int run() override;

private:
    std::string patch_;
    PatchCommandOptions options_;
    bool checkOnly_ = false;  // read, load and wire the patch; write nothing
    PatchLimits limits_;
};

int RunCommand::run() {
    const JsonSource patch = JsonSource::fromFile(patch_);
    const fs::path patchPath = pathOf(patch_);
    const std::string patchFolder = patchPath.has_parent_path() ? utf8Of(patchPath.parent_path()) : ".";
    PatchRunSettings settings;
    settings.outputDir = options_.outputDir.empty() ? utf8Of(patchPath.stem()) + "-out" : options_.outputDir;
    settings.searchDirs = searchDirs(options_, {patchFolder});
    settings.quiet = options_.quiet;
    settings.strict = options_.strict;
    settings.checkOnly = checkOnly_;
    settings.limits = limits_;
    const PatchResult result = runPatchJson(patch, patchFolder, settings);
    if (checkOnly_) {
        std::printf("%s: the patch is sound; nothing was run or written\n", patch_.c_str());
        return 0;
    }
    printWritten(patch_, settings.outputDir, result);
    return 0;
}

}  // namespace

std::unique_ptr<Command> makeRunCommand() { return std::make_unique<RunCommand>(); }

}  // namespace qvhost
