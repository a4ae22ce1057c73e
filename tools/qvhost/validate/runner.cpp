// The validate run: a plan of steps per library (a check, and for module
// checks the half it works on), carried out in child processes that re-run
// this executable, so that a module that crashes or hangs fails its check
// and the run goes on; then the report, as text or JSON.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cstdio>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "catalogue.h"
#include "commands.h"
#include "failure.h"
#include "platform/child_process.h"
#include "pin_value.h"
#include "platform/crash_report.h"
#include "report.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

constexpr const char* kValidatorVersion = "2.0";
// Lines of a child's report start with this, so that what a module prints
// on stdout is never taken for one.
constexpr const char* kStepMark = "@@qvhost-step ";
constexpr const char* kTimeoutMark = "@@qvhost-timeout ";
constexpr int kTimedOutExit = 3;

struct Step {
    size_t check = 0;  // index into the catalogue
    const ModuleDescription* module = nullptr;
    const HalfDescription* half = nullptr;
};

bool selected(const Check& check, const ValidateOptions& options) {
    if (check.strictness > options.strictness)
        return false;
    if (!options.only.empty() && std::find(options.only.begin(), options.only.end(), check.name) == options.only.end())
        return false;
    return std::find(options.skip.begin(), options.skip.end(), check.name) == options.skip.end();
}

bool fitsHalf(Scope scope, const HalfDescription& half) {
    switch (scope) {
    case Scope::Module: return true;
    case Scope::Dsp: return half.dsp;
    case Scope::Gui: return !half.dsp;
    case Scope::Drawing: return !half.dsp && half.draws;
    default: return false;
    }
}

// The same options and description always give the same plan: a child
// rebuilds it and runs it from the step it is given.
std::vector<Step> planFor(const LibraryDescription* description, const ValidateOptions& options) {
    const auto& checks = catalogue();
    std::vector<Step> plan;
    for (size_t i = 0; i < checks.size(); ++i)
        if (selected(checks[i], options) &&
            (checks[i].scope == Scope::Library || (checks[i].scope == Scope::Described && description)))
            plan.push_back({i, nullptr, nullptr});
    if (description == nullptr)
        return plan;
    for (const auto& module : description->modules)
        for (const auto& half : module.halves)
            for (size_t i = 0; i < checks.size(); ++i)
                if (selected(checks[i], options) && fitsHalf(checks[i].scope, half))
                    plan.push_back({i, &module, &half});
    return plan;
}

Result blankResult(const Step& step) {
    Result r;
    r.name = catalogue()[step.check].name;
    if (step.module) {
        r.module = step.module->id;
        r.half = halfName(step.half->subType);
    }
    return r;
}

// Loading the library and reading its description: steps of every run.
Result libraryStep(const char* name, Outcome outcome) {
    Result r;
    r.name = name;
    r.outcome = std::move(outcome);
    return r;
}

std::mt19937_64 rngFor(uint64_t seed, const std::string& path, const Result& r) {
    const std::string file = path.substr(path.find_last_of('/') + 1);
    std::seed_seq seq{seed, static_cast<uint64_t>(std::hash<std::string>{}(file + "|" + r.name + "|" + r.module + "|" +
                                                                             r.half))};
    return std::mt19937_64(seq);
}

Outcome runStep(const Step& step, const host::Library& library, const std::string& path,
                const LibraryDescription* description, const ValidateOptions& options, uint64_t seed) {
    const Check& check = catalogue()[step.check];
    CheckContext ctx{library, path,  description, step.module, step.half, options,
                     rngFor(seed, path, blankResult(step)), {}};
    Outcome o;
    try {
        o = check.run(ctx);
    } catch (const CheckFailed& e) {
        return {Status::Failed, e.why};
    } catch (const std::exception& e) {
        return {Status::Failed, std::string("an exception reached the host: ") + e.what()};
    } catch (...) {
        return {Status::Failed, "an exception of unknown type reached the host"};
    }
    if (o.status == Status::Passed && !ctx.warnings.empty()) {
        std::string all;
        for (const auto& w : ctx.warnings)
            all += (all.empty() ? "" : "; ") + w;
        return {Status::Warning, all};
    }
    return o;
}

// Ends a child whose step runs past its time, after saying which step.
class Watchdog {
public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void arm(size_t step, double seconds) {
        std::lock_guard<std::mutex> lock(mutex_);
        step_ = step;
        deadline_ = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
        armed_ = true;
        wake_.notify_all();
    }
    void disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!quit_) {
            if (!armed_) {
                wake_.wait(lock);
                continue;
            }
            if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
                std::chrono::steady_clock::now() >= deadline_) {
                std::printf("%s%zu\n", kTimeoutMark, step_);
                std::fflush(stdout);
                std::_Exit(kTimedOutExit);
            }
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    bool armed_ = false;
    bool quit_ = false;
    size_t step_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

#ifdef _WIN32
// The exception code as Windows documents it, with the name of the common ones.
std::string describeException(uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    const char* name = code == 0xC0000005u   ? "access violation"
                       : code == 0xC00000FDu ? "stack overflow"
                       : code == 0xC000001Du ? "illegal instruction"
                       : code == 0xC0000094u ? "integer division by zero"
                       : code == 0xC0000409u ? "stack buffer overrun"
                                             : nullptr;
    return std::string("exception ") + hex + (name != nullptr ? std::string(" (") + name + ")" : std::string());
}
#endif

std::string describeEnd(const ChildResult& child) {
    switch (child.end) {
    case ChildResult::End::Signalled:
#ifdef _WIN32
        return describeException(static_cast<uint32_t>(child.code));
#else
        return std::string("signal ") + std::to_string(child.code) + " (" + strsignal(child.code) + ")";
#endif
    case ChildResult::End::Exited: return "the process ended with exit code " + std::to_string(child.code);
    case ChildResult::End::TimedOut: return "the process did not end in time";
    default: return "the child process could not start: " + child.errors;
    }
}

// The end of a crash report: the stack or the sanitizer's summary.
std::string stackOf(const std::string& errors) {
    std::vector<std::string> lines;
    std::istringstream in(errors);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    constexpr size_t kKeep = 24;
    std::string out;
    for (size_t i = lines.size() > kKeep ? lines.size() - kKeep : 0; i < lines.size(); ++i)
        out += lines[i] + "\n";
    return out;
}

class Validation {
public:
    explicit Validation(const ValidateOptions& options)
        : options_(options), seed_(options.seed ? *options.seed : std::random_device{}()) {}

    void library(const std::string& path) {
        path_ = path;
        results_.clear();
        std::string error;
        auto lib = host::Library::open(path, error);
        if (!lib) {
            add(libraryStep("load", {Status::Failed, error}));
            finishLibrary();
            return;
        }
        add(libraryStep("load", {Status::Passed, lib->describeBuild()}));
        std::optional<LibraryDescription> description;
        try {
            description = loadDescription(descriptionPathFor(path));
            add(libraryStep("description",
                            {Status::Passed, counted(description->modules.size(), "module") + " described"}));
        } catch (const Failure& e) {
            add(libraryStep("description", {Status::Failed, std::string(e.what()) + "; no module was checked"}));
        }
        const auto plan = planFor(description ? &*description : nullptr, options_);
        if (options_.inProcess)
            runInProcess(plan, *lib, description ? &*description : nullptr);
        else
            runInChildren(plan);
        finishLibrary();
    }

    int finish() {
        size_t count[5] = {};
        for (const auto& r : all_)
            ++count[static_cast<int>(r.outcome.status)];
        const size_t passed = count[0], failed = count[1], warnings = count[2], skipped = count[3], crashed = count[4];
        if (options_.json) {
            Json doc{{"validator", kValidatorVersion}, {"seed", seed_}, {"strictness", options_.strictness},
                     {"libraries", libraries_}};
            doc["summary"] = Json{{"libraries", options_.libraries.size()}, {"checks", all_.size()},
                                  {"passed", passed}, {"failed", failed}, {"warnings", warnings},
                                  {"skipped", skipped}, {"crashed", crashed}};
            std::printf("%s\n", jsonText(doc, 2).c_str());
        } else {
            std::printf("\nvalidate: %s, %s: %zu passed, %zu failed, %zu crashed, %s, %zu skipped (strictness %d, "
                        "seed %llu)\n",
                        counted(options_.libraries.size(), "library", "libraries").c_str(),
                        counted(all_.size(), "check").c_str(), passed, failed, crashed,
                        counted(warnings, "warning").c_str(), skipped, options_.strictness,
                        static_cast<unsigned long long>(seed_));
        }
        return failed == 0 && crashed == 0 ? 0 : kExitFailure;
    }

    // A child: runs the plan from `from` on and streams one line per step.
    int child(const std::string& path, size_t from) {
        reportCrashesOnStderr();
        std::string error;
        auto lib = host::Library::open(path, error);
        if (!lib)
            throw Failure(error);
        std::optional<LibraryDescription> description;
        try {
            description = loadDescription(descriptionPathFor(path));
        } catch (const Failure&) {
        }
        const LibraryDescription* d = description ? &*description : nullptr;
        const auto plan = planFor(d, options_);
        Watchdog watchdog;
        for (size_t i = from; i < plan.size(); ++i) {
            watchdog.arm(i, options_.timeout);
            const auto started = std::chrono::steady_clock::now();
            const Outcome o = runStep(plan[i], *lib, path, d, options_, seed_);
            watchdog.disarm();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::printf("%s%s\n", kStepMark, stepLineText({i, o, seconds}).c_str());
            std::fflush(stdout);
        }
        return 0;
    }

private:
    void runInProcess(const std::vector<Step>& plan, const host::Library& lib, const LibraryDescription* d) {
        for (const auto& step : plan) {
            Result r = blankResult(step);
            const auto started = std::chrono::steady_clock::now();
            r.outcome = runStep(step, lib, path_, d, options_, seed_);
            r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            add(std::move(r));
        }
    }

    std::vector<std::string> childArguments(size_t from) const {
        std::vector<std::string> args{"validate", "--in-process", "--child-from", std::to_string(from), "--seed",
                                      std::to_string(seed_), "--strictness", std::to_string(options_.strictness),
                                      "--timeout", std::to_string(options_.timeout), "--repeat",
                                      std::to_string(options_.repeat)};
        auto list = [&](const char* flag, const auto& values) {
            if (values.empty())
                return;
            std::ostringstream joined;
            for (const auto& v : values)
                joined << (joined.tellp() > 0 ? "," : "") << v;
            args.push_back(flag);
            args.push_back(joined.str());
        };
        list("--only", options_.only);
        list("--skip", options_.skip);
        list("--rates", options_.rates);
        list("--blocks", options_.blocks);
        args.push_back("--");
        args.push_back(path_);
        return args;
    }

    void runInChildren(const std::vector<Step>& plan) {
        size_t from = 0;
        while (from < plan.size()) {
            const double limit = options_.timeout * static_cast<double>(plan.size() - from) + 30.0;
            const ChildResult child = runSelf(childArguments(from), limit);
            std::vector<std::optional<Result>> got(plan.size());
            std::optional<size_t> timedOut;
            std::istringstream lines(child.output);
            std::string line;
            // A module's own output may share a line with a mark.
            while (std::getline(lines, line)) {
                try {
                    if (const size_t at = line.find(kStepMark); at != std::string::npos) {
                        const auto step = readStepLine(line.substr(at + std::string(kStepMark).size()));
                        if (step && step->step < plan.size()) {
                            Result r = blankResult(plan[step->step]);
                            r.outcome = step->outcome;
                            r.seconds = step->seconds;
                            got[step->step] = std::move(r);
                        }
                    } else if (const size_t mark = line.find(kTimeoutMark); mark != std::string::npos) {
                        timedOut = std::stoul(line.substr(mark + std::string(kTimeoutMark).size()));
                    }
                } catch (const std::exception&) {
                    // Not a line of ours after all.
                }
            }
            size_t next = from;
            while (next < plan.size() && got[next]) {
                add(std::move(*got[next]));
                ++next;
            }
            if (next == plan.size())
                break;
            // The step the child did not finish.
            Result r = blankResult(plan[next]);
            if ((timedOut && *timedOut == next) || child.end == ChildResult::End::TimedOut) {
                std::ostringstream s;
                s << "did not finish within " << options_.timeout << " s";
                r.outcome = {Status::Failed, s.str()};
            } else if (child.end == ChildResult::End::FailedToStart) {
                r.outcome = {Status::Failed, describeEnd(child)};
            } else {
                r.outcome = {Status::Crashed, describeEnd(child)};
                r.stack = stackOf(child.errors);
            }
            add(std::move(r));
            from = next + 1;
        }
    }

    void add(Result r) {
        if (!options_.json) {
            if (results_.empty())
                std::printf("%s%s\n", all_.empty() ? "" : "\n", path_.c_str());
            const std::string what = r.module.empty() ? r.name : r.module + " (" + r.half + ") " + r.name;
            std::printf("  %-8s %s%s%s\n", statusName(r.outcome.status), what.c_str(),
                        r.outcome.detail.empty() ? "" : ": ", r.outcome.detail.c_str());
            if (!r.stack.empty()) {
                std::istringstream in(r.stack);
                std::string line;
                while (std::getline(in, line))
                    std::printf("           | %s\n", line.c_str());
            }
        }
        all_.push_back(r);
        results_.push_back(std::move(r));
    }

    void finishLibrary() {
        Json checks = Json::array();
        for (const auto& r : results_)
            checks.push_back(resultJson(r));
        libraries_.push_back(Json{{"path", path_}, {"checks", checks}});
    }

    const ValidateOptions& options_;
    uint64_t seed_;
    std::string path_;
    std::vector<Result> results_;  // of this library
    std::vector<Result> all_;
    Json libraries_ = Json::array();
};

void printList(bool markdown) {
    if (markdown) {
        std::printf("| Check | Scope | From strictness | What it checks |\n|---|---|---|---|\n");
        for (const auto& c : catalogue())
            std::printf("| `%s` | %s | %d | %s |\n", c.name, scopeName(c.scope), c.strictness, c.description);
        std::printf("\n| Strictness | Adds |\n|---|---|\n");
        for (const auto& l : strictnessLevels())
            std::printf("| %d | %s |\n", l.level, l.adds);
        return;
    }
    for (const auto& c : catalogue())
        std::printf("%-24s %-9s %2d  %s\n", c.name, scopeName(c.scope), c.strictness, c.description);
}

void checkNames(const std::vector<std::string>& names, const char* option) {
    for (const auto& n : names) {
        const bool known = std::any_of(catalogue().begin(), catalogue().end(),
                                       [&](const Check& c) { return n == c.name; });
        if (!known)
            throw Failure(std::string(option) + ": no check is called " + quoted(n) +
                          " (qvhost validate --list shows them)");
    }
}

}  // namespace

int runValidate(const ValidateOptions& options) {
    if (options.version) {
        std::printf("qvhost validate %s: %zu checks, strictness 1 to 10 (default %d)\n", kValidatorVersion,
                    catalogue().size(), kDefaultStrictness);
        return 0;
    }
    if (options.list) {
        printList(options.markdown);
        return 0;
    }
    if (options.libraries.empty())
        throw Failure("validate needs at least one library (or --list, --version)");
    checkNames(options.only, "--only");
    checkNames(options.skip, "--skip");
    Validation validation(options);
    if (options.childFrom) {
        if (options.libraries.size() != 1)
            throw Failure("a validating child checks one library");
        return validation.child(options.libraries[0], *options.childFrom);
    }
    for (const auto& path : options.libraries)
        validation.library(path);
    return validation.finish();
}

}  // namespace qvhost
