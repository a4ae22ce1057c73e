// Cost per call of the framework's exp and powf beside the platform's, on
// arguments of the kind the envelope passes at a segment start.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "numeric/numeric.h"

namespace {

constexpr int kArguments = 1024;

// exp: per-sample exponents (small) and curvatures (up to about 50), both signs.
std::vector<double> expArguments() {
    std::mt19937 random(1);
    std::vector<double> v(kArguments);
    for (int i = 0; i < kArguments; ++i)
        v[i] = i % 2 == 0 ? -std::uniform_real_distribution<double>(0.0, 50.0)(random)
                          : std::uniform_real_distribution<double>(-1e-2, 1e-2)(random);
    return v;
}

// powf(10, y): y = time · 4 − 3 for times in [−0.25, 2].
std::vector<float> powArguments() {
    std::mt19937 random(2);
    std::vector<float> v(kArguments);
    for (float& y : v)
        y = std::uniform_real_distribution<float>(-4.0f, 5.0f)(random);
    return v;
}

template <class F>
void perCall(benchmark::State& state, F f) {
    for (auto _ : state)
        f();
    state.counters["per_call"] = benchmark::Counter(static_cast<double>(kArguments),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_FrameworkExp(benchmark::State& state) {
    const auto args = expArguments();
    perCall(state, [&] {
        for (double x : args)
            benchmark::DoNotOptimize(ovra::numeric::exp(x));
    });
}
void BM_PlatformExp(benchmark::State& state) {
    const auto args = expArguments();
    perCall(state, [&] {
        for (double x : args)
            benchmark::DoNotOptimize(std::exp(x));
    });
}
void BM_FrameworkPowf(benchmark::State& state) {
    const auto args = powArguments();
    perCall(state, [&] {
        for (float y : args)
            benchmark::DoNotOptimize(ovra::numeric::powf(10.0f, y));
    });
}
void BM_PlatformPowf(benchmark::State& state) {
    const auto args = powArguments();
    perCall(state, [&] {
        for (float y : args)
            benchmark::DoNotOptimize(std::pow(10.0f, y));
    });
}
BENCHMARK(BM_FrameworkExp);
BENCHMARK(BM_PlatformExp);
BENCHMARK(BM_FrameworkPowf);
BENCHMARK(BM_PlatformPowf);

}  // namespace
