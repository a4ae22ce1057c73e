// qvhost: loads .qvm libraries without the audio host: describes them,
// checks them, renders and paints their modules, and runs patches.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands/command.h"
#include "failure.h"

namespace {

// CLI11 reports in several lines; qvhost reports in one, pointing at the
// help of the command that was given.
int usageError(const CLI::Error& e, const CLI::App& app, int argc, char** argv) {
    std::string what = e.what();
    for (char& c : what)
        if (c == '\n')
            c = ' ';
    std::string help = app.get_name();
    for (const auto* sub : app.get_subcommands({}))
        if (argc > 1 && sub->get_name() == argv[1])
            help += " " + sub->get_name();
    std::fprintf(stderr, "qvhost: %s (see %s --help)\n", what.c_str(), help.c_str());
    return qvhost::kExitUsage;
}

}  // namespace

int qvhostMain(int argc, char** argv) {
    CLI::App app{"qvhost: a headless host for .qvm plug-in libraries", "qvhost"};
    app.require_subcommand(1);
    // Options start with a dash on every platform: "/folder/lib.qvm" is a path.
    app.allow_windows_style_options(false);
    app.set_help_all_flag("--help-all", "Every command's options");

    const std::vector<std::unique_ptr<qvhost::Command>> commands = qvhost::qvhostCommands();
    std::vector<std::pair<CLI::App*, qvhost::Command*>> given;
    std::string names;
    for (const auto& command : commands) {
        CLI::App* sub = app.add_subcommand(command->name(), command->summary());
        command->addOptions(*sub);
        given.emplace_back(sub, command.get());
        names += (names.empty() ? "" : ", ") + command->name();
    }

    // CLI11 would only say that a command is missing.
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const auto& command : commands)
            known = known || command->name() == argv[1];
        if (!known) {
            std::fprintf(stderr, "qvhost: unknown command '%s' (commands: %s)\n", argv[1], names.c_str());
            return qvhost::kExitUsage;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(e, app, argc, argv);
    }

    try {
        for (const auto& [sub, command] : given)
            if (sub->parsed())
                return command->run();
    } catch (const qvhost::Failure& e) {
        std::fprintf(stderr, "qvhost: %s\n", e.what());
        return qvhost::kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvhost: internal error: %s\n", e.what());
        return qvhost::kExitFailure;
    }
    return qvhost::kExitUsage;
}
