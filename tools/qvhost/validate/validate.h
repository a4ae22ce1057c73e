// qvhost validate: the checks a .qvm library must pass before a host that
// runs a user's live set loads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qvhost {

inline constexpr int kDefaultStrictness = 5;

struct ValidateOptions {
    std::vector<std::string> libraries;
    bool json = false;
    bool markdown = false;  // with list: the catalogue as a Markdown table
    bool list = false;
    bool version = false;
    bool inProcess = false;
    std::optional<uint64_t> seed;
    int strictness = kDefaultStrictness;
    double timeout = 30.0;  // seconds per check
    int repeat = 50;        // creations per module
    std::vector<std::string> only;
    std::vector<std::string> skip;
    std::vector<std::string> modules;  // empty: every described module
    std::vector<int32_t> rates;   // empty: the default set
    std::vector<int32_t> blocks;  // empty: the default set
    bool randomBlocks = false;    // sizes and event positions drawn from the seed
    std::string description;      // empty: <library>.json beside the library
    bool warningsAsErrors = false;  // a warning fails the run
    bool onlyFailed = false;        // the reports list only what failed or crashed (and warned, with the above)
    std::string junit;              // where to write a JUnit XML report as well
    double fuzz = 0;                // seconds of random sessions, seed after seed (0: none)
    // A child process runs the plan of one library from this step on and
    // streams one line per step.
    std::optional<size_t> childFrom;
    std::string reportFile;   // where a child writes its records
    std::string captureFile;  // where a child's stdout and stderr go

    bool operator==(const ValidateOptions&) const = default;
};

int runValidate(const ValidateOptions& options);

// The validate command line that gives these options, libraries last:
// what a validating child is started with and what a rerun hint shows.
std::vector<std::string> validateArguments(const ValidateOptions& options);

// validate's options on its subcommand of qvhost's command line.
class ValidateOptionReader {
public:
    // Declares the options on `command`, which must outlive the reader.
    explicit ValidateOptionReader(CLI::App& command);
    bool given() const;
    // The options as parsed.
    ValidateOptions options() const;

private:
    CLI::App* command_;
    ValidateOptions options_;
    uint64_t seed_ = 0;
    std::vector<std::string> blocks_;  // sizes, or "random"
    size_t from_ = 0;
};

}  // namespace qvhost
