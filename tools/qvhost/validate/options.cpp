// validate's options: read from its command line, and written back as the
// command line of a validating child or a rerun hint.
#include <algorithm>
#include <charconv>
#include <type_traits>
#include <sstream>

#include <CLI/CLI.hpp>

#include "generators.h"
#include "validate.h"

namespace qvhost {

// Long: the option table, one entry per option; validateArguments below
// writes the same options back in the same order.
ValidateOptionReader::ValidateOptionReader(CLI::App& command) : command_(&command) {
    CLI::App* v = command_;
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
    auto joined = [](const std::vector<int32_t>& values) {
        std::string out;
        for (const int32_t n : values)
            out += (out.empty() ? "" : ",") + std::to_string(n);
        return out;
    };
    listOption("--rates", o.rates, "Sample rates to drive DSP halves at (HZ,HZ...; 0: the host writes none)")
        ->check(CLI::Range(0, 10000000))
        ->default_str(joined(defaultRates()));
    listOption("--blocks", blocks_,
               "Block sizes to drive DSP halves with (N,N...), or 'random': sizes from 1 to 4096 and event "
               "positions drawn from the seed")
        ->check([](const std::string& text) -> std::string {
            int value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text == "random" || (ec == std::errc() && end == text.data() + text.size() && value >= 1 &&
                                     value <= 65536))
                return {};
            return "not a block size from 1 to 65536, nor 'random': " + text;
        })
        ->default_str(joined(defaultBlocks()) + "; random from strictness 8");
    v->add_option("--description", o.description, "The module description to check against (one LIB only)")
        ->default_str("LIB.json beside the library");
    v->add_flag("--warnings-as-errors", o.warningsAsErrors, "Exit 1 when a check warned");
    v->add_flag("--only-failed", o.onlyFailed, "Report only the checks that failed or crashed (and warned, with --warnings-as-errors)");
    v->add_option("--junit", o.junit, "Write a JUnit XML report to this file as well");
    v->add_option("--fuzz", o.fuzz,
                  "Run random sessions (the random-session check) seed after seed for this many seconds, on every "
                  "core; print the seed and command of the first failure")
        ->check(CLI::Range(1.0, 604800.0));
    v->add_flag("--in-process", o.inProcess, "No child processes (for a debugger); a crash ends the run");
    v->add_option("--seed", seed_, "Seed of the random checks (repeat a run)")->default_str("random");
    v->add_option("--repeat", o.repeat, "Creations per module")->check(CLI::Range(1, 100000))->capture_default_str();
    v->add_option("--child-from", from_, "")->group("");  // a child process's part of the plan
    v->add_option("--report-file", o.reportFile, "")->group("");
    v->add_option("--capture-file", o.captureFile, "")->group("");
}

bool ValidateOptionReader::given() const { return command_->parsed(); }

ValidateOptions ValidateOptionReader::options() const {
    ValidateOptions o = options_;
    if (command_->count("--seed") > 0)
        o.seed = seed_;
    if (command_->count("--child-from") > 0)
        o.childFrom = from_;
    for (const auto& text : blocks_) {
        if (text == "random")
            o.randomBlocks = true;
        else
            o.blocks.push_back(std::stoi(text));
    }
    return o;
}


// Every option that differs from its default, written as the options above
// read it back.
// Long: one line per option, in the order of the table above.
std::vector<std::string> validateArguments(const ValidateOptions& o) {
    const ValidateOptions d;
    std::vector<std::string> args{"validate"};
    auto flag = [&](const char* name, bool on) {
        if (on)
            args.push_back(name);
    };
    auto flagged = [&](const char* name, const char* text, bool on) {
        if (on)
            args.insert(args.end(), {name, text});
    };
    auto value = [&](const char* name, const auto& v, const auto& byDefault) {
        if (v == byDefault)
            return;
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(v)>>) {
            char text[64];
            const auto end = std::to_chars(text, text + sizeof text, v).ptr;  // the shortest text that reads back
            args.insert(args.end(), {name, std::string(text, end)});
        } else {
            args.insert(args.end(), {name, v});
        }
    };
    auto list = [&](const char* name, const auto& values) {
        if (values.empty())
            return;
        std::ostringstream text;
        for (const auto& v : values)
            text << (text.tellp() > 0 ? "," : "") << v;
        args.insert(args.end(), {name, text.str()});
    };
    list("--only", o.only);
    list("--skip", o.skip);
    for (const auto& m : o.modules)
        args.insert(args.end(), {"--module", m});
    if (o.seed)
        args.insert(args.end(), {"--seed", std::to_string(*o.seed)});
    value("--strictness", o.strictness, d.strictness);
    list("--rates", o.rates);
    list("--blocks", o.blocks);
    flagged("--blocks", "random", o.randomBlocks);
    value("--repeat", o.repeat, d.repeat);
    value("--timeout", o.timeout, d.timeout);
    value("--description", o.description, d.description);
    flag("--warnings-as-errors", o.warningsAsErrors);
    flag("--only-failed", o.onlyFailed);
    flag("--json", o.json);
    value("--junit", o.junit, d.junit);
    value("--fuzz", o.fuzz, d.fuzz);
    flag("--list", o.list);
    flag("--markdown", o.markdown);
    flag("--version", o.version);
    flag("--in-process", o.inProcess);
    if (o.childFrom)
        args.insert(args.end(), {"--child-from", std::to_string(*o.childFrom)});
    value("--report-file", o.reportFile, d.reportFile);
    value("--capture-file", o.captureFile, d.captureFile);
    // A library whose name starts with '-' is not taken for an option.
    if (std::any_of(o.libraries.begin(), o.libraries.end(), [](const std::string& l) { return l.starts_with('-'); }))
        args.push_back("--");
    args.insert(args.end(), o.libraries.begin(), o.libraries.end());
    return args;
}

}  // namespace qvhost
