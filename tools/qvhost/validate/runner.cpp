// The validate run: a plan of steps per library (a check, and for module
// checks the half it works on), carried out in child processes that re-run
// this executable, so that a module that crashes or hangs fails its check
// and the run goes on; then the report, as text or JSON.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <cmath>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "catalogue.h"
#include "fuzz_run.h"
#include "io/description.h"
#include "failure.h"
#include "child_process.h"
#include "patch/pin_value.h"
#include "crash_report.h"
#include "io/suggest.h"
#include "output_capture.h"
#include "junit.h"
#include "readable_text.h"

namespace qvhost {

using namespace ovra;

namespace {

constexpr const char* kValidatorVersion = "2.1";
constexpr int kTimedOutExit = 3;
// What a check shows of a module's output; the report says how much more
// there was.
constexpr size_t kShownOutput = 2048;

struct Step {
    size_t check = 0;  // index into the catalogue
    const ModuleDescription* module = nullptr;
    const HalfDescription* half = nullptr;
};

struct Result {
    std::string name;
    std::string module;
    std::string half;
    Outcome outcome;
    std::string stack;   // CRASHED: what the child said on stderr
    std::string output;  // what the module wrote on stdout and stderr during the check (its start)
    uint64_t written = 0;  // how many bytes that was
    std::string rerun;     // FAILED, CRASHED: the command that runs the check alone
    double seconds = 0;
};

bool selected(const Check& check, const ValidateOptions& options) { return checkSelected(check, options); }

// One cause, one failure: a half that could not be created, or whose pins
// disagree with its description, has the checks that build on it SKIPPED
// with the name of the check they need.
class Dependencies {
public:
    // The check the result's half failed that this check needs, if any.
    std::optional<std::string> blockedBy(const Result& r) const {
        if (r.module.empty())
            return std::nullopt;
        const auto it = blocked_.find(r.module + "\n" + r.half);
        if (it == blocked_.end())
            return std::nullopt;
        // Only the checks that build on the failed one, directly or not.
        for (const Check* check = find(r.name); check != nullptr;) {
            const char* need = prerequisiteOf(*check);
            if (need == nullptr)
                break;
            if (it->second == need)
                return it->second;
            check = find(need);
        }
        return std::nullopt;
    }
    void record(const Result& r) {
        if (r.module.empty())
            return;
        const Status s = r.outcome.status;
        const bool failed = s == Status::Failed || s == Status::Crashed;
        const bool gate = r.name == "create" ? failed || s == Status::Skipped
                                              : (r.name == "dsp-pins" || r.name == "gui-pins" || r.name == "paint") && failed;
        if (gate)
            blocked_.emplace(r.module + "\n" + r.half, r.name);
    }
    // The result as it stands, or SKIPPED for the check it needs.
    void apply(Result& r) const {
        if (const auto need = blockedBy(r))
            r.outcome = {Status::Skipped, "needs " + *need};
    }

private:
    static const Check* find(const std::string& name) {
        for (const auto& c : catalogue())
            if (name == c.name)
                return &c;
        return nullptr;
    }
    std::map<std::string, std::string> blocked_;  // "module\nhalf" -> the failed check
};

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
    for (const auto& module : description->modules) {
        if (!options.modules.empty() &&
            std::find(options.modules.begin(), options.modules.end(), module.id) == options.modules.end())
            continue;
        for (const auto& half : module.halves)
            for (size_t i = 0; i < checks.size(); ++i)
                if (selected(checks[i], options) && fitsHalf(checks[i].scope, half))
                    plan.push_back({i, &module, &half});
    }
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

// 64-bit FNV-1a: the same on every platform and standard library, unlike
// std::hash.
uint64_t stableHash(const std::string& text) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (const char c : text) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001B3ull;
    }
    return h;
}

std::mt19937_64 rngFor(uint64_t seed, const std::string& path, const Result& r) {
    const std::string file = path.substr(path.find_last_of("/\\") + 1);
    const uint64_t key = stableHash(file + "|" + r.name + "|" + r.module + "|" + r.half);
    std::seed_seq seq{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32), static_cast<uint32_t>(key),
                      static_cast<uint32_t>(key >> 32)};
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
    explicit Watchdog(std::function<void(size_t)> onTimeout)
        : onTimeout_(std::move(onTimeout)), thread_([this] { watch(); }) {}
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
                onTimeout_(step_);
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
    std::function<void(size_t)> onTimeout_;
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

// Lines of text under a check's line, at most `most` of them.
void printIndented(const std::string& text, const char* mark, size_t most) {
    std::istringstream in(text);
    std::string line;
    size_t shown = 0;
    while (std::getline(in, line)) {
        if (shown++ == most) {
            std::printf("           %s ...\n", mark);
            break;
        }
        std::printf("           %s %s\n", mark, line.c_str());
    }
}

class Validation {
public:
    explicit Validation(const ValidateOptions& options)
        : options_(options), seed_(options.seed ? *options.seed : std::random_device{}()) {}

    // The description a library is checked against.
    std::string descriptionPath(const std::string& library) const {
        return options_.description.empty() ? descriptionPathFor(library) : options_.description;
    }

    void library(const std::string& path) {
        path_ = path;
        results_.clear();
        dependencies_ = Dependencies();
        std::string error;
        const auto opening = std::chrono::steady_clock::now();
        auto lib = host::Library::open(path, error);
        const double loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - opening).count();
        if (!lib) {
            add(libraryStep("load", {Status::Failed, error}));
            finishLibrary();
            return;
        }
        char loaded[48];
        std::snprintf(loaded, sizeof loaded, "; loaded in %.2f ms", loadSeconds * 1000.0);
        Result load = libraryStep("load", {Status::Passed, lib->describeBuild() + loaded});
        load.seconds = loadSeconds;
        add(std::move(load));
        std::optional<LibraryDescription> description;
        try {
            description = loadDescription(descriptionPath(path));
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
            std::printf("%s\n", doc.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
        } else {
            std::printf("%svalidate: %s, %s: %zu passed, %zu failed, %zu crashed, %s%s, %zu skipped (strictness %d, "
                        "seed %llu)\n",
                        anyShown_ ? "\n" : "", counted(options_.libraries.size(), "library", "libraries").c_str(),
                        counted(all_.size(), "check").c_str(), passed, failed, crashed,
                        counted(warnings, "warning").c_str(), options_.warningsAsErrors ? " (failing the run)" : "",
                        skipped, options_.strictness, static_cast<unsigned long long>(seed_));
        }
        if (!options_.junit.empty()) {
            std::ofstream out(pathOf(options_.junit), std::ios::binary | std::ios::trunc);
            out << junitXml(suites_, options_.warningsAsErrors, seed_, options_.strictness);
            if (!out.flush())
                throw Failure("cannot write " + options_.junit);
        }
        const bool warned = options_.warningsAsErrors && warnings > 0;
        return failed == 0 && crashed == 0 && !warned ? 0 : kExitFailure;
    }

    // A child: runs the plan from `from` on and writes one record per step
    // to its report file, a channel no module is given; what modules write
    // on stdout and stderr goes to the capture file, and each record carries
    // what its check wrote.
    int child(const std::string& path, size_t from) {
        if (options_.reportFile.empty() || options_.captureFile.empty())
            throw Failure("a validating child needs --report-file and --capture-file");
        std::ofstream report(pathOf(options_.reportFile), std::ios::binary | std::ios::trunc);
        if (!report)
            throw Failure("cannot write " + options_.reportFile);
        auto write = [&](const Json& record) {
            report << record.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
            report.flush();
        };
        OutputCapture capture;
        if (!capture.start(options_.captureFile))
            throw Failure("cannot write " + options_.captureFile);
        reportCrashesOnStderr();
        std::string error;
        auto lib = host::Library::open(path, error);
        if (!lib)
            throw Failure(error);
        std::optional<LibraryDescription> description;
        try {
            description = loadDescription(descriptionPath(path));
        } catch (const Failure&) {
        }
        const LibraryDescription* d = description ? &*description : nullptr;
        const auto plan = planFor(d, options_);
        Watchdog watchdog([&](size_t step) { write(Json{{"timeout", step}}); });
        Dependencies dependencies;
        for (size_t i = from; i < plan.size(); ++i) {
            Result r = blankResult(plan[i]);
            const uint64_t begin = capture.position();
            write(Json{{"begin", i}, {"at", begin}});
            const auto started = std::chrono::steady_clock::now();
            if (const auto need = dependencies.blockedBy(r)) {
                r.outcome = {Status::Skipped, "needs " + *need};
            } else {
                watchdog.arm(i, options_.timeout);
                r.outcome = runStep(plan[i], *lib, path, d, options_, seed_);
                watchdog.disarm();
            }
            dependencies.record(r);
            r.output = capture.since(begin, kShownOutput, &r.written);
            noteOutput(r, plan[i]);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            write(Json{{"step", i}, {"status", static_cast<int>(r.outcome.status)}, {"detail", readable(r.outcome.detail)},
                       {"seconds", seconds}, {"output", readable(r.output)}, {"written", r.written},
                       {"measures", r.outcome.measures}});
        }
        return 0;
    }

    // A DSP half that prints during its checks: a warning from the default
    // strictness on (its blocks run on the audio thread, where a write may
    // block).
    void noteOutput(Result& r, const Step& step) const {
        const Check& check = catalogue()[step.check];
        if (r.written == 0 || check.scope != Scope::Dsp || r.outcome.status != Status::Passed ||
            options_.strictness < kDefaultStrictness)
            return;
        r.outcome = {Status::Warning, r.outcome.detail + "; wrote " + std::to_string(r.written) +
                                              " bytes on standard output or error while its blocks ran"};
    }

private:
    void runInProcess(const std::vector<Step>& plan, const host::Library& lib, const LibraryDescription* d) {
        for (const auto& step : plan) {
            Result r = blankResult(step);
            const auto started = std::chrono::steady_clock::now();
            if (const auto need = dependencies_.blockedBy(r))
                r.outcome = {Status::Skipped, "needs " + *need};
            else
                r.outcome = runStep(step, lib, path_, d, options_, seed_);
            r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            add(std::move(r));
        }
    }

    std::vector<std::string> childArguments(size_t from) const {
        ValidateOptions child = options_;
        child.libraries = {path_};
        child.json = false;
        child.junit.clear();
        child.onlyFailed = false;
        child.inProcess = true;
        child.childFrom = from;
        child.seed = seed_;
        child.reportFile = reportPath_;
        child.captureFile = capturePath_;
        return validateArguments(child);
    }

    // The records of a child's report file, each field checked: a record
    // that is not whole is no record.
    struct ChildReport {
        std::vector<std::optional<Result>> got;
        std::vector<std::optional<uint64_t>> begins;  // where each step's output starts in the capture file
        std::optional<size_t> timedOut;
    };

    ChildReport readReport(const std::vector<Step>& plan) const {
        ChildReport report;
        report.got.resize(plan.size());
        report.begins.resize(plan.size());
        std::ifstream in(pathOf(reportPath_), std::ios::binary);
        std::string line;
        auto index = [&](const Json& j, const char* key) -> std::optional<size_t> {
            if (!j.contains(key) || !j[key].is_number_unsigned() || j[key].get<uint64_t>() >= plan.size())
                return std::nullopt;
            return static_cast<size_t>(j[key].get<uint64_t>());
        };
        while (std::getline(in, line)) {
            const Json j = Json::parse(line, nullptr, false);
            if (!j.is_object())
                continue;
            if (const auto i = index(j, "begin"); i && j.contains("at") && j["at"].is_number_unsigned()) {
                report.begins[*i] = j["at"].get<uint64_t>();
            } else if (const auto t = index(j, "timeout")) {
                report.timedOut = t;
            } else if (const auto step = index(j, "step")) {
                const bool whole = j.contains("status") && j["status"].is_number_integer() &&
                                   j["status"].get<int64_t>() >= static_cast<int64_t>(Status::Passed) &&
                                   j["status"].get<int64_t>() <= static_cast<int64_t>(Status::Crashed) &&
                                   j.contains("detail") && j["detail"].is_string() && j.contains("seconds") &&
                                   j["seconds"].is_number() && std::isfinite(j["seconds"].get<double>()) &&
                                   j["seconds"].get<double>() >= 0 && j.contains("output") &&
                                   j["output"].is_string() && j.contains("written") &&
                                   j["written"].is_number_unsigned();
                if (!whole)
                    continue;
                Result r = blankResult(plan[*step]);
                r.outcome = {static_cast<Status>(j["status"].get<int>()), j["detail"].get<std::string>()};
                r.seconds = j["seconds"].get<double>();
                r.output = j["output"].get<std::string>();
                r.written = j["written"].get<uint64_t>();
                if (j.contains("measures") && j["measures"].is_object())
                    for (const auto& [name, value] : j["measures"].items())
                        if (value.is_number())
                            r.outcome.measures[name] = value.get<double>();
                report.got[*step] = std::move(r);
            }
        }
        return report;
    }

    // What the child wrote from `from` on, at most its last 64 KiB.
    std::string capturedSince(std::optional<uint64_t> from) const {
        std::ifstream in(pathOf(capturePath_), std::ios::binary | std::ios::ate);
        if (!in)
            return {};
        const auto size = static_cast<uint64_t>(in.tellg());
        constexpr uint64_t kTail = 64 * 1024;
        uint64_t start = from.value_or(0);
        if (size > start + kTail)
            start = size - kTail;
        if (start >= size)
            return {};
        std::string out(static_cast<size_t>(size - start), '\0');
        in.seekg(static_cast<std::streamoff>(start));
        in.read(out.data(), static_cast<std::streamsize>(out.size()));
        return out;
    }

    void runInChildren(const std::vector<Step>& plan) {
        const std::u8string where = (std::filesystem::temp_directory_path() /
                                     ("qvhost-validate-" + std::to_string(std::random_device{}()) + "-" +
                                      std::to_string(++childRuns_)))
                                        .u8string();
        const std::string stem(where.begin(), where.end());
        reportPath_ = stem + ".report";
        capturePath_ = stem + ".output";
        size_t from = 0;
        while (from < plan.size()) {
            const double limit = options_.timeout * static_cast<double>(plan.size() - from) + 30.0;
            const ChildResult child = runSelf(childArguments(from), limit);
            ChildReport report = readReport(plan);
            size_t next = from;
            while (next < plan.size() && report.got[next]) {
                add(std::move(*report.got[next]));
                ++next;
            }
            if (next == plan.size())
                break;
            // The step the child did not finish.
            Result r = blankResult(plan[next]);
            const std::string captured = capturedSince(report.begins[next]);
            if ((report.timedOut && *report.timedOut == next) || child.end == ChildResult::End::TimedOut) {
                std::ostringstream s;
                s << "did not finish within " << options_.timeout << " s";
                r.outcome = {Status::Failed, s.str()};
                r.output = captured.substr(0, kShownOutput);
                r.written = captured.size();
            } else if (child.end == ChildResult::End::FailedToStart) {
                r.outcome = {Status::Failed, describeEnd(child)};
            } else {
                r.outcome = {Status::Crashed, describeEnd(child)};
                r.stack = stackOf(child.errors + captured);
            }
            add(std::move(r));
            from = next + 1;
        }
        std::error_code ignored;
        std::filesystem::remove(pathOf(reportPath_), ignored);
        std::filesystem::remove(pathOf(capturePath_), ignored);
    }

    // The command that runs one failed check again, alone: the same seed and
    // the options that choose its values.
    std::string rerunCommand(const Result& r) const {
        // Quoted as the platform's usual shell reads it.
        auto quote = [](const std::string& word) {
#if defined(_WIN32)
            if (!word.empty() && word.find_first_of(" \t\"&|<>^") == std::string::npos)
                return word;
            return "\"" + word + "\"";
#else
            if (!word.empty() && word.find_first_of(" \t\"'\\$`;&|<>()*?[]{}!#~") == std::string::npos)
                return word;
            std::string out = "\"";
            for (const char c : word)
                out += (c == '"' || c == '\\' || c == '$' || c == '`') ? std::string("\\") + c : std::string(1, c);
            return out + "\"";
#endif
        };
        ValidateOptions alone;
        alone.libraries = {path_};
        alone.only = {r.name};
        if (!r.module.empty())
            alone.modules = {r.module};
        alone.seed = seed_;
        alone.strictness = options_.strictness;
        alone.rates = options_.rates;
        alone.blocks = options_.blocks;
        alone.repeat = options_.repeat;
        alone.timeout = options_.timeout;
        alone.description = options_.description;
        std::string cmd = "qvhost";
        for (const auto& word : validateArguments(alone))
            cmd += " " + quote(word);
        return cmd;
    }

    void add(Result r) {
        dependencies_.apply(r);
        dependencies_.record(r);
        const bool listed = std::any_of(catalogue().begin(), catalogue().end(),
                                        [&](const Check& c) { return r.name == c.name; });
        if (listed && (r.outcome.status == Status::Failed || r.outcome.status == Status::Crashed))
            r.rerun = rerunCommand(r);
        r.outcome.detail = readable(r.outcome.detail);
        r.stack = readable(r.stack);
        r.output = readable(r.output);
        if (!options_.json && shown(r)) {
            if (!libraryShown_)
                std::printf("%s%s\n", anyShown_ ? "\n" : "", path_.c_str());
            libraryShown_ = anyShown_ = true;
            const std::string what = r.module.empty() ? r.name : r.module + " (" + r.half + ") " + r.name;
            std::printf("  %-8s %s%s%s%s\n", statusName(r.outcome.status), what.c_str(),
                        r.outcome.detail.empty() ? "" : ": ", r.outcome.detail.c_str(), secondsText(r).c_str());
            printIndented(r.stack, "|", 24);
            if (!r.rerun.empty())
                std::printf("           rerun: %s\n", r.rerun.c_str());
            if (r.written > 0) {
                std::printf("           > the module wrote %llu bytes on standard output or error%s\n",
                            static_cast<unsigned long long>(r.written),
                            r.written > r.output.size() ? ", beginning with:" : ":");
                printIndented(r.output, ">", 12);
            }
        }
        all_.push_back(r);
        results_.push_back(std::move(r));
    }

    // With --only-failed, what the reports leave out.
    bool shown(const Result& r) const {
        const Status s = r.outcome.status;
        return !options_.onlyFailed || s == Status::Failed || s == Status::Crashed ||
               (options_.warningsAsErrors && s == Status::Warning);
    }

    // " (0.12 s)" after a timed check.
    static std::string secondsText(const Result& r) {
        if (r.seconds <= 0)
            return {};
        char text[32];
        std::snprintf(text, sizeof text, " (%.2f s)", r.seconds);
        return text;
    }

    // The text report's table of what dsp-cost measured, after the library.
    void printCosts() const {
        std::vector<const Result*> costs;
        for (const auto& r : results_)
            if (r.name == "dsp-cost" && !r.outcome.measures.empty() && shown(r))
                costs.push_back(&r);
        if (options_.json || costs.empty())
            return;
        std::printf("\n  dsp-cost, microseconds of processBlock per second of audio (48000 Hz, blocks of 64):\n");
        std::printf("    %-32s %9s %9s %11s %9s\n", "module", "ordinary", "silence", "after loud", "denormal");
        for (const Result* r : costs) {
            auto us = [&](const char* name) {
                const auto it = r->outcome.measures.find(name);
                return it == r->outcome.measures.end() ? 0.0 : it->second;
            };
            std::printf("    %-32s %9.1f %9.1f %11.1f %9.1f\n", r->module.c_str(), us("ordinary"), us("silence"),
                        us("afterLoudInput"), us("denormalInput"));
        }
    }

    void finishLibrary() {
        printCosts();
        JunitSuite suite{path_, {}};
        for (const auto& r : results_) {
            std::string more = r.stack;
            if (r.written > 0)
                more += (more.empty() ? "" : "\n") + ("the module wrote " + std::to_string(r.written) +
                                                       " bytes on standard output or error:\n" + r.output);
            if (!r.rerun.empty())
                more += (more.empty() ? "" : "\n") + ("rerun: " + r.rerun);
            suite.cases.push_back({r.module.empty() ? r.name : r.module + " (" + r.half + ") " + r.name,
                                   r.outcome.status, r.outcome.detail, more, r.seconds});
        }
        suites_.push_back(std::move(suite));
        libraryShown_ = false;
        Json checks = Json::array();
        for (const auto& r : results_) {
            if (!shown(r))
                continue;
            Json c{{"name", r.name}, {"status", statusName(r.outcome.status)}, {"detail", r.outcome.detail},
                   {"seconds", r.seconds}};
            if (!r.module.empty()) {
                c["module"] = r.module;
                c["half"] = r.half;
            }
            if (!r.stack.empty())
                c["stack"] = r.stack;
            if (!r.outcome.measures.empty())
                c["measures"] = r.outcome.measures;
            if (!r.rerun.empty())
                c["rerun"] = r.rerun;
            if (r.written > 0) {
                c["output"] = r.output;
                c["written"] = r.written;
            }
            checks.push_back(c);
        }
        libraries_.push_back(Json{{"path", path_}, {"checks", checks}});
    }

    const ValidateOptions& options_;
    uint64_t seed_;
    std::string path_;
    std::vector<Result> results_;  // of this library
    Dependencies dependencies_;    // of this library
    std::string reportPath_;       // the current child's report and output
    std::string capturePath_;
    size_t childRuns_ = 0;
    std::vector<Result> all_;
    Json libraries_ = Json::array();
    std::vector<JunitSuite> suites_;
    bool libraryShown_ = false;  // the text report named the current library
    bool anyShown_ = false;
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
    if (!options.description.empty() && options.libraries.size() != 1)
        throw Failure("--description names the description of one library; give one LIB with it");
    if (options.fuzz > 0)
        return fuzzFor(options);
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
