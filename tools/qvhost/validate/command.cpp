// The validate command line.
#include <CLI/CLI.hpp>

#include "validate.h"

namespace qvhost {

ValidateCommand::ValidateCommand(CLI::App& app) {
    auto* v = app.add_subcommand("validate", "Conformance checks; exit 0 only when none failed or crashed");
    command_ = v;
    auto& o = options_;
    v->add_option("LIB", o.libraries, "A .qvm library");
    v->add_flag("--json", o.json, "Machine-readable report");
    v->add_flag("--list", o.list, "Every check with its one-line description");
    v->add_flag("--markdown", o.markdown, "With --list: the catalogue as Markdown tables");
    v->add_flag("--version", o.version, "The validator's version and number of checks");
    // Lists are given as a,b,c or by repeating the option, so that the
    // libraries that follow are never taken for list items.
    auto listOption = [&](const char* name, auto& into, const char* what) {
        return v->add_option(name, into, what)
            ->delimiter(',')
            ->expected(1)
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    listOption("--only", o.only, "Run only these checks (CHECK,CHECK...; names from --list)");
    listOption("--skip", o.skip, "Do not run these checks (CHECK,CHECK...)");
    v->add_option("--module", o.modules, "Check only this described module (repeat for more)")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    v->add_option("--strictness", o.strictness, "1 (basic) to 10 (exhaustive)")
        ->check(CLI::Range(1, 10))
        ->capture_default_str();
    v->add_option("--timeout", o.timeout, "Seconds a check may take")
        ->check(CLI::Range(0.1, 86400.0))
        ->capture_default_str();
    listOption("--rates", o.rates, "Sample rates to drive DSP halves at (HZ,HZ...; 0: the host writes none)")
        ->check(CLI::Range(0, 10000000));
    listOption("--blocks", o.blocks, "Block sizes to drive DSP halves with (N,N...)")->check(CLI::Range(1, 65536));
    v->add_flag("--in-process", o.inProcess, "No child processes (for a debugger); a crash ends the run");
    v->add_option("--seed", seed_, "Seed of the random checks (repeat a run)");
    v->add_option("--repeat", o.repeat, "Creations per module")->check(CLI::Range(1, 100000));
    v->add_option("--child-from", from_, "")->group("");  // a child process's part of the plan
    v->add_option("--report-file", o.reportFile, "")->group("");
    v->add_option("--capture-file", o.captureFile, "")->group("");
}

bool ValidateCommand::given() const { return command_->parsed(); }

int ValidateCommand::run() {
    if (command_->count("--seed") > 0)
        options_.seed = seed_;
    if (command_->count("--child-from") > 0)
        options_.childFrom = from_;
    return runValidate(options_);
}

}  // namespace qvhost
