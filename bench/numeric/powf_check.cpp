// Dense check of the framework's powf(10, y) over the arguments that the
// envelope produces, y in [-inf, 5], against a higher-precision reference:
// every float y (or every stride-th one) is compared with the correctly
// rounded 10^y. The reference is long double powl where its result lies
// clearly away from a rounding boundary, else quadruple precision (powq).
//
//   powf_check [stride]     stride 1 (the default) checks every float
//
// Results below 2^-150 are 0 for every y < -45.2; that stretch (a billion
// floats) is sampled every 4096th float whatever the stride.
#include <quadmath.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "numeric/numeric.h"

namespace {

float fromBits(uint32_t b) {
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}
uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

int64_t fallbacks = 0;

// 10^y rounded once to float.
float reference(float y) {
    const long double r = powl(10.0L, static_cast<long double>(y));
    const float f = static_cast<float>(r);
    if (r == 0.0L || std::isinf(f))
        return static_cast<float>(powq(static_cast<__float128>(10), static_cast<__float128>(y)));
    // Distance to the nearest halfway point between f and a neighbour.
    const float up = std::nextafter(f, INFINITY);
    const float down = std::nextafter(f, 0.0f);
    const long double mid1 = (static_cast<long double>(f) + up) / 2;
    const long double mid2 = (static_cast<long double>(f) + down) / 2;
    const long double d = std::fmin(std::fabs(r - mid1), std::fabs(r - mid2));
    if (d > r * 0x1p-56L)
        return f;  // long double's error (under 2^-62) cannot cross it
    ++fallbacks;
    return static_cast<float>(powq(static_cast<__float128>(10), static_cast<__float128>(y)));
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t stride = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1;
    const uint32_t underflowStride = stride > 4096 ? stride : 4096;
    const uint32_t five = bitsOf(5.0f);
    const uint32_t minus46 = bitsOf(-46.0f);
    int64_t checked = 0, wrong = 0;
    auto check = [&](uint32_t bits) {
        const float y = fromBits(bits);
        const float got = ovra::numeric::powf(10.0f, y);
        const float want = reference(y);
        ++checked;
        if (bitsOf(got) != bitsOf(want)) {
            if (wrong < 20)
                std::printf("powf(10, %a) = %a, correctly rounded %a\n", y, got, want);
            ++wrong;
        }
    };
    for (uint64_t b = 0; b <= five; b += stride)  // +0 to 5
        check(static_cast<uint32_t>(b));
    for (uint64_t b = 0x80000000u; b <= minus46; b += stride)  // -0 to -46
        check(static_cast<uint32_t>(b));
    for (uint64_t b = minus46 + 1; b <= 0xff800000u; b += underflowStride)  // to -inf
        check(static_cast<uint32_t>(b));
    check(0xff800000u);
    std::printf("%" PRId64 " arguments checked (stride %u), %" PRId64 " not correctly rounded; %" PRId64
                " needed the quadruple-precision reference\n",
                checked, stride, wrong, fallbacks);
    return wrong == 0 ? 0 : 1;
}
