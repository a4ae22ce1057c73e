// validate --fuzz SECONDS: the random-session check with one seed after
// another, one child process per run and as many runs at once as the
// machine has cores, until the time is up or a run fails. A failure prints
// its seed and the command that repeats it.
#include "fuzz_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

#include "io/description.h"
#include "child_process.h"

namespace qvhost {

namespace {

// The first check of a report that did not pass, as one line.
std::string firstProblem(const std::string& report) {
    const Json doc = Json::parse(report, nullptr, false);
    if (doc.is_discarded() || !doc.contains("libraries"))
        return "";
    for (const auto& library : doc["libraries"])
        for (const auto& c : library.value("checks", Json::array())) {
            const std::string status = c.value("status", "");
            if (status == "PASSED" || status == "SKIPPED" || status == "WARNING")
                continue;
            const std::string module = c.value("module", "");
            return status + " " + (module.empty() ? "" : module + " (" + c.value("half", "") + ") ") +
                   c.value("name", "") + ": " + c.value("detail", "");
        }
    return "";
}

std::string commandLine(const std::vector<std::string>& args) {
    std::string out = "qvhost";
    for (const auto& a : args)
        out += " " + (a.find(' ') == std::string::npos && !a.empty() ? a : "'" + a + "'");
    return out;
}

}  // namespace

int fuzzFor(const ValidateOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::duration<double>(options.fuzz);
    const uint64_t firstSeed = options.seed ? *options.seed : std::random_device{}();
    std::atomic<uint64_t> nextSeed{firstSeed};
    std::atomic<uint64_t> runs{0};
    std::atomic<bool> stop{false};
    std::mutex found;
    std::string failure;  // guarded by found

    // One run: every described half of every library, one seed.
    auto argumentsFor = [&](uint64_t seed) {
        ValidateOptions run = options;
        run.fuzz = 0;
        run.only = {"random-session"};
        run.skip.clear();
        run.strictness = 10;
        run.seed = seed;
        run.json = run.onlyFailed = false;
        run.junit.clear();
        return validateArguments(run);
    };
    auto work = [&] {
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            const uint64_t seed = nextSeed++;
            std::vector<std::string> args = argumentsFor(seed);
            std::vector<std::string> asJson = args;
            asJson.insert(asJson.begin() + 1, "--json");
            const ChildResult r = runSelf(asJson, options.timeout * 4 + 60);
            ++runs;
            if (r.end == ChildResult::End::Exited && r.code == 0)
                continue;
            std::lock_guard<std::mutex> lock(found);
            if (!failure.empty())
                return;
            std::string what = firstProblem(r.output);
            if (what.empty())
                what = r.end == ChildResult::End::TimedOut ? "the run did not finish" : "the run ended abnormally";
            failure = "seed " + std::to_string(seed) + ": " + what + "\nrepeat it: " + commandLine(args);
            stop = true;
        }
    };
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; ++i)
        threads.emplace_back(work);
    for (auto& t : threads)
        t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("validate --fuzz: %llu runs in %.1f s on %u cores (%.2f runs per second), seeds from %llu\n",
                static_cast<unsigned long long>(runs.load()), seconds, workers, static_cast<double>(runs) / seconds,
                static_cast<unsigned long long>(firstSeed));
    if (!failure.empty()) {
        std::printf("FAILED at %s\n", failure.c_str());
        return 1;
    }
    std::printf("no run failed\n");
    return 0;
}

}  // namespace qvhost
