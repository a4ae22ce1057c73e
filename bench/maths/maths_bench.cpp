// The framework's single-precision functions beside the C runtime's, in one
// run: throughput over arguments spread like the oracle tests' (ordinary
// ranges, huge and tiny values), the C runtime's figure the baseline.
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "numeric/numeric.h"

namespace {

// 4096 arguments: three quarters in the ordinary range, the rest spread
// over every exponent (huge and tiny values), none NaN.
std::vector<float> arguments(float low, float high, bool positive) {
    std::mt19937 random(42);
    std::uniform_real_distribution<float> ordinary(low, high);
    std::vector<float> v;
    while (v.size() < 4096) {
        float x;
        if (v.size() % 4 == 3) {
            uint32_t b = random() & (positive ? 0x7fffffffu : 0xffffffffu);
            std::memcpy(&x, &b, 4);
            if (std::isnan(x) || std::isinf(x))
                continue;
        } else {
            x = ordinary(random);
        }
        v.push_back(x);
    }
    return v;
}

template <float (*F)(float)>
void run(benchmark::State& state, float low, float high, bool positive) {
    const std::vector<float> xs = arguments(low, high, positive);
    for (auto _ : state)
        for (float x : xs)
            benchmark::DoNotOptimize(F(x));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xs.size()));
}

float crtSin(float x) { return ::sinf(x); }
float crtCos(float x) { return ::cosf(x); }
float crtTan(float x) { return ::tanf(x); }
float crtAtan(float x) { return ::atanf(x); }
float crtTanh(float x) { return ::tanhf(x); }
float crtExp(float x) { return ::expf(x); }
float crtLog(float x) { return ::logf(x); }
float crtLog10(float x) { return ::log10f(x); }
float crtTenTo(float y) { return ::powf(10.0f, y); }
float crtAtan2Unit(float y) { return ::atan2f(y, 0.75f); }
float ownAtan2Unit(float y) { return ovra::numeric::atan2f(y, 0.75f); }
float crtPowf(float y) { return ::powf(1.7f, y); }
float ownPowf(float y) { return ovra::numeric::powf(1.7f, y); }

#define OVRA_PAIR(name, crt, own, low, high, positive)                                                 \
    void BM_##name##_crt(benchmark::State& s) { run<crt>(s, low, high, positive); }                    \
    void BM_##name##_ovra(benchmark::State& s) { run<own>(s, low, high, positive); }                   \
    BENCHMARK(BM_##name##_crt);                                                                         \
    BENCHMARK(BM_##name##_ovra);

OVRA_PAIR(sinf, crtSin, ovra::numeric::sinf, -100.0f, 100.0f, false)
OVRA_PAIR(cosf, crtCos, ovra::numeric::cosf, -100.0f, 100.0f, false)
OVRA_PAIR(tanf, crtTan, ovra::numeric::tanf, -100.0f, 100.0f, false)
OVRA_PAIR(atanf, crtAtan, ovra::numeric::atanf, -20.0f, 20.0f, false)
OVRA_PAIR(atan2f, crtAtan2Unit, ownAtan2Unit, -20.0f, 20.0f, false)
OVRA_PAIR(tanhf, crtTanh, ovra::numeric::tanhf, -12.0f, 12.0f, false)
OVRA_PAIR(expf, crtExp, ovra::numeric::expf, -100.0f, 88.0f, false)
OVRA_PAIR(logf, crtLog, ovra::numeric::logf, 0.0f, 1000.0f, true)
OVRA_PAIR(log10f, crtLog10, ovra::numeric::log10f, 0.0f, 1000.0f, true)
OVRA_PAIR(tenTo, crtTenTo, ovra::numeric::exp10f, -45.0f, 38.0f, false)
OVRA_PAIR(powf, crtPowf, ownPowf, -150.0f, 150.0f, false)

}  // namespace
