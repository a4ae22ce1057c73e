// Checks every float argument of the single-precision functions against
// MPFR, and atan2f on random pairs. Off the test command: hours of MPFR
// become minutes because MPFR is asked only where a cheaper reference
// cannot decide.
//
//   exhaustive [--threads N] [--state FILE] [--hard DIR] [--pairs N] [function...]
//
// The reference: glibc's double function at the same argument, whose
// error glibc documents as at most 2 ulp of a double (sin, cos, tan, atan,
// exp, log: 1; tanh, exp10, log10: 2). Where every value within 2^-49
// (relative, 8 ulp) of it rounds to the float the function gave, that
// float is the correctly rounded one. Otherwise, and wherever the
// function's own double evaluation left the rounding to its double-double
// path, MPFR decides. The arguments of the second kind are written to
// DIR/<function>.txt (the hard cases that tests/numeric replays).
//
// Work goes in chunks of 2^22 arguments; each finished chunk is appended to
// the state file, so an interrupted run resumes where it stopped.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "numeric/numeric.h"
#include "oracle.h"

namespace {

using ovra::numeric::detail::FloatFunction;
using ovra::oracle::Function;

struct Target {
    Function function;
    FloatFunction path;
    float (*call)(float);
    double (*reference)(double);
};

double exp10Reference(double x) { return std::pow(10.0, x); }

const Target kTargets[] = {
    {Function::kSin, FloatFunction::kSin, ovra::numeric::sinf, [](double x) { return std::sin(x); }},
    {Function::kCos, FloatFunction::kCos, ovra::numeric::cosf, [](double x) { return std::cos(x); }},
    {Function::kTan, FloatFunction::kTan, ovra::numeric::tanf, [](double x) { return std::tan(x); }},
    {Function::kAtan, FloatFunction::kAtan, ovra::numeric::atanf, [](double x) { return std::atan(x); }},
    {Function::kTanh, FloatFunction::kTanh, ovra::numeric::tanhf, [](double x) { return std::tanh(x); }},
    {Function::kExp, FloatFunction::kExp, ovra::numeric::expf, [](double x) { return std::exp(x); }},
    {Function::kExp10, FloatFunction::kExp10, ovra::numeric::exp10f, exp10Reference},
    {Function::kLog, FloatFunction::kLog, ovra::numeric::logf, [](double x) { return std::log(x); }},
    {Function::kLog10, FloatFunction::kLog10, ovra::numeric::log10f, [](double x) { return std::log10(x); }},
};

constexpr double kReferenceBound = 0x1p-49;
constexpr int kChunkBits = 22;
constexpr uint32_t kChunks = 1u << (32 - kChunkBits);

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
float floatOf(uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}

// The reference decides when all of [r - e, r + e] rounds to got.
bool referenceDecides(double r, float got) {
    if (std::isnan(r) || std::isnan(got))
        return false;
    if (std::isinf(r))
        return r == got;  // beyond the double range by its error bound, far beyond the float one
    const double e = std::fabs(r) * kReferenceBound;
    return bitsOf(static_cast<float>(r - e)) == bitsOf(got) && bitsOf(static_cast<float>(r + e)) == bitsOf(got);
}

struct Shared {
    std::mutex lock;
    std::ofstream state;
    std::ofstream hard;
    uint64_t wrong = 0, hardCount = 0, byMpfr = 0;
    uint32_t done = 0;
};

void checkChunk(const Target& t, uint32_t chunk, Shared& shared, ovra::oracle::Oracle& oracle) {
    std::vector<uint32_t> hard;
    uint64_t wrong = 0, byMpfr = 0;
    const uint32_t first = chunk << kChunkBits;
    for (uint32_t i = 0; i < (1u << kChunkBits); ++i) {
        const float x = floatOf(first + i);
        const float got = t.call(x);
        float fast;
        const bool slow = !std::isnan(x) && !ovra::numeric::detail::byDouble(t.path, x, fast);
        if (slow)
            hard.push_back(first + i);
        if (std::isnan(x)) {
            wrong += !(std::isnan(got) && (bitsOf(got) | 0x00400000u) == (bitsOf(x) | 0x00400000u));
            continue;
        }
        if (!slow && referenceDecides(t.reference(static_cast<double>(x)), got))
            continue;
        ++byMpfr;
        const float want = oracle(t.function, x);
        if (!ovra::oracle::sameResult(got, want)) {
            ++wrong;
            std::lock_guard<std::mutex> g(shared.lock);
            std::printf("WRONG %s(%a) [0x%08x] = %a, MPFR %a\n", nameOf(t.function), x, first + i, got, want);
        }
    }
    std::lock_guard<std::mutex> g(shared.lock);
    shared.wrong += wrong;
    shared.byMpfr += byMpfr;
    shared.hardCount += hard.size();
    for (uint32_t b : hard)
        shared.hard << "0x" << std::hex << b << std::dec << "\n";
    shared.hard.flush();
    shared.state << nameOf(t.function) << " " << chunk << " " << wrong << " " << hard.size() << "\n";
    shared.state.flush();
    ++shared.done;
}

// atan2f on random pairs: half any bit patterns, half ordinary values.
void checkPairs(uint64_t pairs, int threads, const std::string& hardDir) {
    std::atomic<uint64_t> wrong{0}, slow{0};
    std::mutex lock;
    std::ofstream hard(hardDir + "/atan2f.txt", std::ios::app);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            ovra::oracle::Oracle oracle;
            std::mt19937_64 random(1234 + t);
            std::uniform_real_distribution<float> ordinary(-100.0f, 100.0f);
            for (uint64_t i = t; i < pairs; i += threads) {
                float y, x;
                if (i % 2) {
                    y = ordinary(random);
                    x = ordinary(random);
                } else {
                    const uint64_t b = random();
                    y = floatOf(static_cast<uint32_t>(b));
                    x = floatOf(static_cast<uint32_t>(b >> 32));
                }
                if (std::isnan(x) || std::isnan(y))
                    continue;
                const float got = ovra::numeric::atan2f(y, x);
                float fast;
                const bool isSlow = !ovra::numeric::detail::atan2fByDouble(y, x, fast);
                if (isSlow) {
                    ++slow;
                    std::lock_guard<std::mutex> g(lock);
                    hard << "0x" << std::hex << bitsOf(y) << " 0x" << bitsOf(x) << std::dec << "\n";
                }
                if (!isSlow && referenceDecides(std::atan2(static_cast<double>(y), static_cast<double>(x)), got))
                    continue;
                if (!ovra::oracle::sameResult(got, oracle.atan2(y, x))) {
                    ++wrong;
                    std::lock_guard<std::mutex> g(lock);
                    std::printf("WRONG atan2f(%a, %a)\n", y, x);
                }
            }
        });
    for (auto& th : pool)
        th.join();
    std::printf("atan2f: %llu pairs, %llu wrong, %llu to the double-double path\n",
                static_cast<unsigned long long>(pairs), static_cast<unsigned long long>(wrong.load()),
                static_cast<unsigned long long>(slow.load()));
}

}  // namespace

int main(int argc, char** argv) {
    int threads = static_cast<int>(std::thread::hardware_concurrency());
    std::string statePath = "exhaustive.state", hardDir = ".";
    uint64_t pairs = 0;
    std::set<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--threads" && i + 1 < argc)
            threads = std::stoi(argv[++i]);
        else if (a == "--state" && i + 1 < argc)
            statePath = argv[++i];
        else if (a == "--hard" && i + 1 < argc)
            hardDir = argv[++i];
        else if (a == "--pairs" && i + 1 < argc)
            pairs = std::stoull(argv[++i]);
        else
            wanted.insert(a);
    }
    if (threads < 1)
        threads = 1;

    // Chunks finished by an earlier run.
    std::set<std::pair<std::string, uint32_t>> finished;
    {
        std::ifstream in(statePath);
        std::string name;
        uint32_t chunk;
        uint64_t w, h;
        while (in >> name >> chunk >> w >> h)
            finished.insert({name, chunk});
    }
    Shared shared;
    shared.state.open(statePath, std::ios::app);
    uint64_t totalWrong = 0;
    for (const Target& t : kTargets) {
        const std::string name = nameOf(t.function);
        if ((!wanted.empty() && !wanted.count(name)) || (wanted.empty() && pairs > 0))
            continue;
        shared.hard.open(hardDir + "/" + name + ".txt", std::ios::app);
        shared.wrong = shared.hardCount = shared.byMpfr = 0;
        shared.done = 0;
        std::atomic<uint32_t> next{0};
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> pool;
        for (int i = 0; i < threads; ++i)
            pool.emplace_back([&] {
                ovra::oracle::Oracle oracle;
                for (uint32_t c; (c = next++) < kChunks;) {
                    if (finished.count({name, c}))
                        continue;
                    checkChunk(t, c, shared, oracle);
                    std::lock_guard<std::mutex> g(shared.lock);
                    if (shared.done % 128 == 0)
                        std::fprintf(stderr, "%s: chunk %u of %u\n", name.c_str(), c, kChunks);
                }
            });
        for (auto& th : pool)
            th.join();
        shared.hard.close();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %u chunks checked in %.0f s, %llu wrong, %llu by MPFR, %llu to the double-double path\n",
                    name.c_str(), shared.done, seconds, static_cast<unsigned long long>(shared.wrong),
                    static_cast<unsigned long long>(shared.byMpfr), static_cast<unsigned long long>(shared.hardCount));
        std::fflush(stdout);
        totalWrong += shared.wrong;
    }
    if (pairs > 0)
        checkPairs(pairs, threads, hardDir);
    return totalWrong == 0 ? 0 : 1;
}
