// qvhost demo: the built-in demo patch.
#include <cstdio>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "command.h"
#include "demo_patch.h"
#include "patch_command.h"
#include "platform/program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

namespace {

class DemoCommand : public Command {
public:
    DemoCommand() : Command("demo", "Run the built-in demo patch") {}
    void addOptions(CLI::App& command) override { addPatchOptions(command, options_); }
    int run() override;

private:
    PatchCommandOptions options_;
};

int DemoCommand::run() {
    const JsonSource patch("demo", kDemoPatch);
    PatchRunSettings settings;
    // In the build tree the demo writes beside qvhost; an installed qvhost
    // writes to ./demo, as its own folder is seldom the user's.
    std::error_code ec;
    const bool inBuildTree = fs::exists(pathOf(ownFolder()) / "adsr.qvm", ec);
    settings.outputDir = !options_.outputDir.empty() ? options_.outputDir
                         : inBuildTree               ? utf8Of(pathOf(ownFolder()) / "demo")
                                                     : std::string("demo");
    settings.searchDirs = searchDirs(options_, {});
    settings.quiet = options_.quiet;
    settings.strict = options_.strict;
    if (!options_.quiet)
        std::printf("demo: a gate opens \"QV ADSR4\" at 0.1 s and closes it at 0.9 s; the envelope goes through\n"
                    "\"ZVR_Volt2GUIFloat\" to a \"WB-Meter-Float-SDK3\" and comes back through \"ZVR_GUIFloat2Volt\"\n");
    const PatchResult result = runPatchJson(patch, ownFolder(), settings);
    printWritten("demo", settings.outputDir, result);
    return 0;
}

}  // namespace

std::unique_ptr<Command> makeDemoCommand() { return std::make_unique<DemoCommand>(); }

}  // namespace qvhost
